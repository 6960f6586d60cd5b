#include "platform/pdfpages/pdfinfo.h"

#include "platform/pdfpages/pdffile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <limits>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <utility>
#include <vector>

namespace pdfpages {

namespace {

constexpr int kMaxTreeDepth = 256;
constexpr qint64 kInMemoryLimit = 4 * 1024 * 1024;

// The number of pages below `node`, or -1 when the tree there is damaged. Reads the
// tree's dictionaries only, never a page's contents.
qint64 pagesBelow(QPDFObjectHandle node, std::set<QPDFObjGen>& seen, int depth) {
    if (depth > kMaxTreeDepth || !node.isDictionary())
        return -1;
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second)
        return -1; // a node reached twice: the tree loops or shares a branch
    QPDFObjectHandle type = node.getKey("/Type");
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray()) {
        // A page: a leaf without kids.
        if (!type.isNull() && !(type.isName() && type.getName() == "/Page"))
            return -1;
        return 1;
    }
    if (!type.isNull() && !(type.isName() && type.getName() == "/Pages"))
        return -1;
    QPDFObjectHandle count = node.getKey("/Count");
    if (!count.isInteger())
        return -1;
    qint64 sum = 0;
    const int n = kids.getArrayNItems();
    for (int i = 0; i < n; ++i) {
        const qint64 below = pagesBelow(kids.getArrayItem(i), seen, depth + 1);
        if (below < 0)
            return -1;
        sum += below;
        if (sum > std::numeric_limits<int>::max())
            return -1;
    }
    return sum == count.getIntValue() ? sum : -1;
}

// The root's /Count checked against the tree it stands for; -1 when they disagree or the
// tree is missing or loops. A repaired tree could give a count, but not one to trust.
int checkedPageCount(QPDF& pdf) {
    QPDFObjectHandle root = pdf.getRoot();
    if (!root.isDictionary())
        return -1;
    QPDFObjectHandle pages = root.getKey("/Pages");
    if (!pages.isDictionary() || !pages.getKey("/Kids").isArray())
        return -1;
    std::set<QPDFObjGen> seen;
    const qint64 count = pagesBelow(pages, seen, 0);
    return count < 0 ? -1 : int(count);
}

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
    // Small files are read in one go: QPDF's many seeks and short reads on a file cost more
    // than the whole read does. Declared before the document, which reads from it.
    QByteArray bytes;
    OpenOptions options;
    const QFileInfo info(path);
    if (info.isFile() && info.size() <= kInMemoryLimit) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            bytes = file.readAll();
            if (bytes.size() == info.size()) options.contents = &bytes;
        }
    }
    std::unique_ptr<QPDF> pdf = openPdf(path, password, failure, options);
    if (!pdf) return -1;
    try {
        const int count = checkedPageCount(*pdf);
        if (count < 0) failure.set(kInvalidFormat, QStringLiteral("%1: the page tree is damaged").arg(path));
        return count;
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
