#include "pageops/apimgtopdf.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/failurenumbers.h"
#include "core/modgeneral.h"
#include "core/workerrun.h"
#include "pageops/mergeprogress.h"
#include "platform/imaging/imagetopdf.h"
#include "platform/imaging/formats/raster.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <exception>
#include <source_location>

namespace {

constexpr QStringView kOwner = u" of Class Module ApImgToPdf at time";

constexpr int kBitsPerPixel = 211;

// A library document that is discarded unless it was closed: a failure or an exception
// half-way never leaves a handle (or a temporary file) behind.
class Document {
public:
    explicit Document(int handle) : m_handle(handle) {}
    ~Document() {
        if (m_handle > 0)
            imaging::ApDiscard(m_handle);
    }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    int handle() const { return m_handle; }
    // Writes and commits the PDF; the handle is released whatever the answer.
    int close(const std::function<void(int percent)>& progress = {}) {
        const int rc = imaging::ApClose(m_handle, progress);
        m_handle = 0;
        return rc;
    }

private:
    int m_handle;
};

// Raises a failure of the library (or of the engine itself, in the library's codes) as a
// run-time error, so the trap logs it in the common form.
[[noreturn]] void raiseEngine(int code, const QString& text,
                              std::source_location where = std::source_location::current()) {
    const fileio::Failure failure{code, text};
    failurenumbers::raise(failurenumbers::ofImagingForEngine(failure), failure, where);
}

// The library's failure, logged with the library's code, the call, the file and the
// library's own text.
[[noreturn]] void raiseLibraryError(int code, const char* call, const QString& path) {
    raiseEngine(code, QStringLiteral("%1 %2: %3").arg(QLatin1String(call), path, imaging::ApLastError()));
}

void addImage(Document& document, const QString& path) {
    const int added = imaging::ApAddImage(document.handle(), path);
    if (added <= 0)
        raiseLibraryError(added < 0 ? added : imaging::ApNoPage, "ApAddImage", path);
}

void closeDocument(Document& document, const QString& path,
                   const std::function<void(int percent)>& progress = {}) {
    const int closed = document.close(progress);
    if (closed != 0)
        raiseLibraryError(closed, "ApClose", path);
}

// A name the file system gave as bytes that are not UTF-8 reads back with U+FFFD in their
// place: such a text names another file, or none, never the one listed.
void refuseUndecodable(const QString& path) {
    if (path.contains(QChar::ReplacementCharacter))
        raiseEngine(imaging::ApCannotRead, QStringLiteral("cannot name %1: not the file's own bytes").arg(path));
}

QList<qint64> fileSizes(const QStringList& paths) {
    QList<qint64> sizes;
    for (const QString& path : paths)
        sizes << QFileInfo(path).size();
    return sizes;
}

// The merge itself: reads every file into a new document, then writes it.
void mergeFiles(const QStringList& paths, const QString& target, MergeProgress& progress) {
    const int handle = imaging::ApCreate(target);
    if (handle <= 0)
        raiseLibraryError(handle, "ApCreate", target);
    Document document(handle);
    QElapsedTimer clock;
    for (const QString& path : paths) {
        clock.start();
        addImage(document, path);
        progress.FileRead(double(clock.nsecsElapsed()) / 1e9);
    }
    closeDocument(document, target, [&progress](int percent) { progress.Written(percent); });
}

} // namespace

template <class Body> bool ApImgToPdf::trapped(QStringView procedure, Body&& body) {
    m_lastFailure = {};
    return trap(procedure, kOwner, [&] {
        try {
            body();
        } catch (const RuntimeError& e) {
            m_lastFailure = {e.number, e.description};
            throw;
        } catch (const std::exception& e) {
            m_lastFailure = {imaging::ApCorrupt, QString::fromLocal8Bit(e.what())};
            throw;
        } catch (...) {
            m_lastFailure = {imaging::ApCorrupt, QString()};
            throw;
        }
    });
}

bool ApImgToPdf::MergeConvert_TiffToPdfx() {
    bool ok = false;
    trapped(u"MergeConvert_TiffToPdfx", [&] {
        if (FileNameToSave.isEmpty()) {
            ok = true;
            return;
        }
        // The merge works on copies: whatever the events handled during the run do to the
        // members, the files and the target stay the ones it started with.
        const QString target = FileNameToSave;
        QStringList paths;
        for (const clsColSetOrderGrid& record : colOrderedData)
            paths << modGeneral::ValidateDir(record.FileLocation()) + record.filename();
        // A merge of nothing would be a PDF without pages.
        if (paths.isEmpty())
            raiseEngine(imaging::ApNoPage, QStringLiteral("no files to merge into %1").arg(target));
        for (const QString& path : paths)
            refuseUndecodable(path);

        const Progress show = progress;
        const int total = int(paths.size());
        MergeProgress estimate(fileSizes(paths), [&](int done) {
            if (show) show(done, total, QString());
        });
        // The files are read and the document written on a worker thread, so this thread keeps
        // the window painted however long one image or the write takes; a progress that
        // shows on a window comes back here as queued calls, in order.
        workerrun::Run([&] { mergeFiles(paths, target, estimate); });
        estimate.Finished();
        ok = true;
    });
    return ok;
}

bool ApImgToPdf::Convert_EachTiffToPDFbyOne(const QString& SrcFilePath, const QString& OutputPath) {
    bool ok = false;
    trapped(u"Convert_EachTiffToPDFbyOne", [&] {
        if (SrcFilePath.isEmpty() || OutputPath.isEmpty())
            return;
        const int handle = imaging::ApCreate(OutputPath);
        if (handle <= 0)
            return;
        Document document(handle);
        addImage(document, SrcFilePath);
        DoEvents();
        closeDocument(document, OutputPath);
        ok = true;
    });
    return ok;
}

bool ApImgToPdf::ConverImageToPdf(const QString& strInputImage, const QString& strOutputImage,
                                  const QString& EncodColor, const QString& EncodGraycale, const QString& EncodBW,
                                  bool replaceExisting) {
    return ConverImageToPdf(strInputImage, strOutputImage,
                            imaging::CompressionChoice::fromNames(EncodColor, EncodGraycale, EncodBW), replaceExisting);
}

bool ApImgToPdf::ConverImageToPdf(const QString& strInputImage, const QString& strOutputImage,
                                  const imaging::CompressionChoice& compression, bool replaceExisting) {
    bool ok = false;
    trapped(u"ConverImageToPdf", [&] {
        if (strOutputImage.isEmpty() || strInputImage.isEmpty())
            return;
        const int handle = imaging::ApCreate(strOutputImage, !replaceExisting, m_durableOutputs);
        // Logged like every other failure, with the library's reason (a read-only folder, a
        // folder in the PDF's place).
        if (handle <= 0) raiseLibraryError(handle, "ApCreate", strOutputImage);
        Document document(handle);
        const int depth = imaging::ApGetFunction(0, kBitsPerPixel, 0, 0, strInputImage, 0);
        // At most one compression call, for the image's own colour class; a class without a
        // choice gets none, and the library's default applies.
        const int colourClass = imaging::colourClassOfDepth(depth);
        if (compression.forClass(colourClass) != imaging::Compression::Default)
            imaging::setDocumentCompression(handle, colourClass, compression.forClass(colourClass));
        addImage(document, strInputImage);
        DoEvents();
        closeDocument(document, strOutputImage);
        DoEvents();
        ok = true;
    });
    return ok;
}
