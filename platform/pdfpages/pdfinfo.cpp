#include "platform/pdfpages/pdfinfo.h"

#include "platform/pdfpages/pdffile.h"

#include <QRegularExpression>
#include <QStringList>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <utility>
#include <vector>

namespace pdfpages {

namespace {

struct Entry {
    std::string key; // with its "/"
    QString value;   // empty: remove
};

bool parseEntries(const QString& keysValues, std::vector<Entry>& entries, fileio::Failure& failure) {
    static const QRegularExpression keyPattern(QStringLiteral("^[A-Za-z0-9_.\\-]+$"));
    const QStringList lines = QString(keysValues).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(u'\n');
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty()) continue;
        const qsizetype eq = line.indexOf(u'=');
        const QString key = eq < 0 ? line : line.left(eq);
        if (eq < 0 || !keyPattern.match(key).hasMatch() || line.contains(u'\r'))
            return failure.set(kBadArgument, QStringLiteral("not a Key=Value line: \"%1\"").arg(line));
        entries.push_back({"/" + key.toStdString(), line.mid(eq + 1)});
    }
    if (entries.empty()) return failure.set(kBadArgument, QStringLiteral("no Key=Value line"));
    return true;
}

QString valueText(QPDFObjectHandle value) {
    QString text;
    if (value.isString()) text = QString::fromStdString(value.getUTF8Value());
    else if (value.isName()) text = QString::fromStdString(value.getName()).mid(1);
    else text = QString::fromStdString(value.unparse());
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text;
}

} // namespace

int pdfPageCount(const QString& path, const QString& password, fileio::Failure& failure) {
    std::unique_ptr<QPDF> pdf = openPdf(path, password, failure);
    if (!pdf) return -1;
    try {
        return int(pdf->getAllPages().size());
    } catch (const std::exception& e) {
        failFromException(e, path, failure);
        return -1;
    }
}

bool readPdfInfo(const QString& path, const QString& password, QString& text, fileio::Failure& failure) {
    std::unique_ptr<QPDF> pdf = openPdf(path, password, failure);
    if (!pdf) return false;
    try {
        QStringList lines;
        QPDFObjectHandle info = pdf->getTrailer().getKey("/Info");
        if (info.isDictionary()) {
            for (const std::string& key : info.getKeys()) // sorted
                lines.append(QString::fromStdString(key).mid(1) + u'=' + valueText(info.getKey(key)));
        }
        text = lines.join(QLatin1String("\r\n"));
    } catch (const std::exception& e) {
        return failFromException(e, path, failure);
    }
    return true;
}

bool updatePdfInfo(const QString& source, const QString& password, const QString& keysValues,
                   const QString& output, fileio::Failure& failure) {
    std::vector<Entry> entries;
    if (!parseEntries(keysValues, entries, failure)) return false;
    if (output.isEmpty()) return failure.set(kBadArgument, QStringLiteral("no output file for %1").arg(source));
    ReadSources read;
    std::unique_ptr<QPDF> pdf = openPdf(source, password, failure, {.readSources = &read});
    if (!pdf) return false;
    try {
        QPDFObjectHandle trailer = pdf->getTrailer();
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (!info.isDictionary()) {
            info = pdf->makeIndirectObject(QPDFObjectHandle::newDictionary());
            trailer.replaceKey("/Info", info);
        }
        for (const Entry& e : entries) {
            if (e.value.isEmpty()) info.removeKey(e.key);
            else info.replaceKey(e.key, QPDFObjectHandle::newUnicodeString(e.value.toStdString()));
        }
    } catch (const std::exception& e) {
        return failFromException(e, source, failure);
    }
    // The writer keeps the source's encryption (and its password) by default.
    return writePdf(*pdf, output, failure, {}, nullptr, &read);
}

} // namespace pdfpages
