#include "platform/pdfpages/pdffile.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/filenames.h"
#include "platform/fileio/qpdfpipeline.h"

#include <QFile>
#include <QFileInfo>
#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFWriter.hh>
#include <stdexcept>

namespace pdfpages {

namespace {

QString exceptionText(const std::exception& e) { return QString::fromLocal8Bit(e.what()); }

} // namespace

bool failFromException(const std::exception& e, const QString& path, fileio::Failure& failure) {
    int number = kInvalidFormat;
    if (const auto* qe = dynamic_cast<const QPDFExc*>(&e)) {
        if (qe->getErrorCode() == qpdf_e_password) number = kNeedsPassword;
        else if (qe->getErrorCode() == qpdf_e_system) number = kFileAccess;
    } else if (dynamic_cast<const std::bad_alloc*>(&e)) {
        number = 7;
    }
    return failure.set(number, QStringLiteral("%1: %2").arg(path, exceptionText(e)));
}

std::unique_ptr<QPDF> openPdf(const QString& path, const QString& password, fileio::Failure& failure,
                              OpenOptions options) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        failure.set(kFileNotFound, QStringLiteral("%1: %2").arg(path, fileio::notFoundReason(path)));
        return nullptr;
    }
    // A pipe or a device would be read for ever.
    if (!info.isFile()) {
        failure.set(kFileNotFound, QStringLiteral("%1: not a regular file").arg(path));
        return nullptr;
    }
    const QByteArray name = QFile::encodeName(path);
    const QByteArray pass = password.toUtf8();
    // Taken before the open: a file replaced in between fails the write, never goes unseen.
    fileio::FileStamp stamp;
    if (!options.contents && options.readSources && !fileio::stampOf(path, stamp)) {
        failure.set(kFileNotFound, QStringLiteral("%1: cannot be read").arg(path));
        return nullptr;
    }
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    try {
        if (options.contents) {
            pdf->processMemoryFile(name.constData(), options.contents->constData(), size_t(options.contents->size()),
                                   pass.constData());
        } else if (options.closedBetweenReads) {
            auto input = std::make_shared<ClosedFileInputSource>(name.constData());
            input->stayOpen(true);
            pdf->processInputSource(input, pass.constData());
            if (options.openInput) *options.openInput = input;
            else input->stayOpen(false);
        } else {
            pdf->processFile(name.constData(), pass.constData());
        }
        // A file that opened with the empty password needs none; one that asked for a
        // password and did not get the right one throws above.
    } catch (const std::exception& e) {
        failFromException(e, path, failure);
        return nullptr;
    }
    if (!options.contents && options.readSources) options.readSources->files.emplace_back(path, stamp);
    return pdf;
}

bool ReadSources::unchanged(fileio::Failure& failure) const {
    for (const auto& [path, stamp] : files) {
        fileio::FileStamp now;
        if (!fileio::stampOf(path, now) || !(now == stamp))
            return failure.set(kFileAccess, QStringLiteral("%1 changed or vanished before the output was written").arg(path));
    }
    return true;
}

bool writePdf(QPDF& pdf, const QString& target, fileio::Failure& failure,
              const std::function<void(QPDFWriter&)>& configure, fileio::OutputSet* outputs,
              const ReadSources* sources) {
    if (sources && !sources->unchanged(failure)) return false;
    fileio::AtomicWriter file(target);
    if (!file.open()) return failure.set(file.failure());
    try {
        fileio::AtomicWriterPipeline out(file);
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&out);
        // Streams go out as they came: faster, and nothing is re-encoded behind the caller's back.
        writer.setDecodeLevel(qpdf_dl_none);
        if (configure) configure(writer);
        writer.write();
    } catch (const std::exception& e) {
        file.cancel();
        if (file.errorNumber()) return failure.set(file.failure());
        return failure.set(kInvalidFormat, QStringLiteral("cannot write %1: %2").arg(target, exceptionText(e)));
    }
    // What the writer read from the sources must be what they held when they were opened.
    if (sources && !sources->unchanged(failure)) return false;
    return fileio::commitOrStage(file, outputs, failure);
}

} // namespace pdfpages
