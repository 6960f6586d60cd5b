#include "platform/imaging/imagetopdf.h"

#include "platform/imaging/formats/examinedsource.h"
#include "platform/imaging/formats/imagereader.h"
#include "platform/imaging/pdf/pdfdocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <new>
#include <unistd.h>

namespace imaging {

namespace {

struct Document {
    QString target;
    bool noReplace = false;
    bool durable = false;
    CompressionChoice choice;
    PdfDocument pdf;
};

// Handles are small positive integers, never reused within a process.
struct Registry {
    QMutex mutex;
    std::map<int, std::shared_ptr<Document>> documents;
    int next = 1;
    fileio::Failure last;
};

// Never destroyed: a document still open at exit must not outlive QPDF's own statics.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

int fail(int code, const QString& text) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.last = {code, text};
    return code;
}

std::shared_ptr<Document> find(int handle) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    const auto it = r.documents.find(handle);
    return it == r.documents.end() ? nullptr : it->second;
}

std::shared_ptr<Document> take(int handle) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    const auto it = r.documents.find(handle);
    if (it == r.documents.end()) return nullptr;
    std::shared_ptr<Document> doc = it->second;
    r.documents.erase(it);
    return doc;
}

// The code for the exception being handled: decoders of hostile input must not take the
// caller down, so every call turns exceptions into codes.
int codeForCurrentException(const QString& what) {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return fail(ApOverLimits, QStringLiteral("%1: out of memory").arg(what));
    } catch (const std::exception& e) {
        return fail(ApCorrupt, QStringLiteral("%1: %2").arg(what, QString::fromStdString(e.what())));
    } catch (...) {
        return fail(ApCorrupt, QStringLiteral("%1: unexpected failure").arg(what));
    }
}

template <class Body> int guarded(const QString& what, Body&& body) {
    try {
        return body();
    } catch (...) {
        return codeForCurrentException(what);
    }
}

} // namespace

int ApCreate(const QString& outputPdfPath, bool noReplace, bool durable) {
    if (outputPdfPath.isEmpty()) return fail(ApBadArgument, QStringLiteral("no output path"));
    const QFileInfo info(outputPdfPath);
    const QFileInfo folder(info.absolutePath());
    // The reason goes into the error log: a read-only folder and a damaged image must not
    // read alike there.
    const auto cannotWrite = [&](int err) {
        return fail(ApCannotWrite, QStringLiteral("cannot write %1: %2")
                                       .arg(outputPdfPath, QString::fromLocal8Bit(std::strerror(err))));
    };
    if (info.isDir()) return cannotWrite(EISDIR);
    if (!folder.isDir()) return cannotWrite(folder.exists() ? ENOTDIR : ENOENT);
    if (::faccessat(AT_FDCWD, QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK | X_OK,
                    AT_EACCESS) != 0)
        return cannotWrite(errno);
    return guarded(outputPdfPath, [&] {
        auto doc = std::make_shared<Document>();
        doc->target = info.absoluteFilePath();
        doc->noReplace = noReplace;
        doc->durable = durable;
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        const int handle = r.next++;
        r.documents.emplace(handle, std::move(doc));
        return handle;
    });
}

int ApGetFunction(int, int code, int, int, const QString& imagePath, int) {
    if (code != 211 || imagePath.isEmpty())
        return fail(ApBadArgument, QStringLiteral("unknown query %1").arg(code));
    return guarded(imagePath, [&] {
        QString error;
        const int bpp = imageBitsPerPixel(imagePath, error);
        return bpp < 0 ? fail(bpp, error) : bpp;
    });
}

namespace {

int setFunction(int handle, int code, int classCode, Compression compression) {
    const auto doc = find(handle);
    if (!doc) return fail(ApBadArgument, QStringLiteral("bad handle %1").arg(handle));
    if (code != 123 || classCode < 1 || classCode > 3)
        return fail(ApBadArgument,
                    QStringLiteral("unknown setting %1 for class %2").arg(code).arg(classCode));
    doc->choice.set(classCode, compression);
    return ApOk;
}

} // namespace

int ApSetFunction(int handle, int code, int classCode, int, const QString& name, int) {
    return setFunction(handle, code, classCode, compressionFromName(name));
}

int setDocumentCompression(int handle, int classCode, Compression compression) {
    return setFunction(handle, 123, classCode, compression);
}

int ApAddImage(int handle, const QString& imagePath) {
    const auto doc = find(handle);
    if (!doc) return fail(ApBadArgument, QStringLiteral("bad handle %1").arg(handle));
    if (imagePath.isEmpty()) return fail(ApBadArgument, QStringLiteral("no image path"));
    PdfDocument& pdf = doc->pdf;
    const int before = pdf.pageCount();
    const StreamStore::Mark mark = pdf.store().mark();
    const auto undo = [&] {
        pdf.truncatePages(before);
        pdf.store().rollback(mark);
    };
    try {
        QString error;
        ExaminedSource source;
        if (const int rc = examineSource(imagePath, Examine::ForAdd, source, error); rc != ApOk)
            return fail(rc, error);
        if (source.format == ImageFormat::Pdf) {
            const int rc = pdf.appendPdf(imagePath, source.stamp, error);
            if (rc > 0) pdf.noteSource(imagePath, source.stamp);
            return rc < 0 ? fail(rc, error) : rc;
        }
        std::vector<EncodedPage> pages;
        const int rc = readImagePages(source, doc->choice, pdf.store(), pages, error);
        if (rc < 0 || pages.empty()) {
            pages.clear();
            undo();
            return rc < 0 ? fail(rc, error) : fail(ApNoPage, QStringLiteral("%1 has no page").arg(imagePath));
        }
        for (const EncodedPage& page : pages)
            pdf.addImagePage(page);
        pdf.noteSource(imagePath, source.stamp);
        return int(pages.size());
    } catch (...) {
        const int code = codeForCurrentException(imagePath);
        try {
            undo();
        } catch (...) {
        }
        return code;
    }
}

int ApClose(int handle, const std::function<void(int percent)>& progress, fileio::OutputSet* outputs) {
    forgetExaminedSource();
    const auto doc = take(handle);
    if (!doc) return fail(ApBadArgument, QStringLiteral("bad handle %1").arg(handle));
    if (doc->pdf.pageCount() == 0)
        return fail(ApNoPage, QStringLiteral("%1 not written: the document has no page").arg(doc->target));
    return guarded(doc->target, [&] {
        QString error;
        const int rc = doc->pdf.write(doc->target, error, progress,
                                      doc->noReplace ? fileio::AtomicWriter::Mode::NoReplace
                                                     : fileio::AtomicWriter::Mode::Replace,
                                      outputs, doc->durable);
        return rc < 0 ? fail(rc, error) : ApOk;
    });
}

void ApDiscard(int handle) {
    forgetExaminedSource();
    take(handle);
}

fileio::Failure ApLastFailure() {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return r.last;
}

QString ApLastError() { return ApLastFailure().text; }

} // namespace imaging
