#include "platform/pdfrender/pdftoimage.h"

#include "platform/fileio/filenames.h"
#include "platform/pdfpages/pdffile.h"
#include "platform/pdfrender/bandedpage.h"
#include "platform/pdfrender/pageimage.h"
#include "platform/pdfrender/pagescan.h"
#include "platform/pdfrender/renderplan.h"
#include "platform/tiffpages/tiffoutput.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <map>
#include <memory>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace pdfrender {

namespace {

// The largest page rendered: under 32,767 pixels a side and under 2^28 pixels (a gigabyte
// at 4 bytes a pixel), however the bands hold it.
constexpr int kMaxSide = 32766;
constexpr qint64 kMaxPixels = (qint64(1) << 28) - 1;

struct Job {
    std::unique_ptr<Poppler::Document> document;
    // The same file read by QPDF, for what each page draws before poppler draws it.
    std::unique_ptr<QPDF> structure;
    std::vector<QPDFPageObjectHelper> structurePages;
    QString password;
    QString path;
    int pages = 0;
    QString folder;
    QString prefix;
    QString outputFile;
    int dpi = 150;
    int type = kPng;
    int bitsPerPixel = 24;
    bool multiPage = false;
    int compression = -1;
    fileio::OutputSet outputs; // put in place when the job closes, dropped when it is discarded
    std::unique_ptr<tiffpages::TiffOutput> tiff;
    QString tiffTarget;
    int tiffPages = 0;

    bool oneTiff() const { return type == kMultiTiff || (type == kTiff && multiPage); }
};

std::map<int, std::unique_ptr<Job>>& jobs() {
    static std::map<int, std::unique_ptr<Job>> all;
    return all;
}

fileio::Failure& lastFailure() {
    static fileio::Failure failure;
    return failure;
}

int fail(int answer, int number, const QString& text) {
    lastFailure() = {number, text};
    return answer;
}

Job* find(int handle) {
    const auto it = jobs().find(handle);
    return it == jobs().end() ? nullptr : it->second.get();
}

void quietPoppler(const QString&, const QVariant&) {}

QString baseNameOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

// What page `page` asks for, read with QPDF; a page that cannot be read so is not drawn, since
// nothing then bounds what poppler would make of it.
RenderPlan planPage(Job& job, int page) {
    if (!job.structure) {
        fileio::Failure failure;
        job.structure = pdfpages::openPdf(job.path, job.password, failure);
        if (!job.structure) return {.refusal = QStringLiteral("its structure cannot be read (%1)").arg(failure.text)};
        try {
            job.structurePages = QPDFPageDocumentHelper(*job.structure).getAllPages();
        } catch (const std::exception& e) {
            return {.refusal = QStringLiteral("its page tree cannot be read (%1)").arg(QString::fromUtf8(e.what()))};
        }
    }
    if (int(job.structurePages.size()) != job.pages)
        return {.refusal = QStringLiteral("its page tree reads as %1 pages one way and %2 the other")
                               .arg(job.structurePages.size())
                               .arg(job.pages)};
    return planRender(scanPage(job.structurePages[size_t(page - 1)].getObjectHandle(), job.dpi),
                      BandedPage::bandBytes());
}

} // namespace

int apOpen(const QString& path, const QString& userPassword, const QString& ownerPassword) {
    static const bool quiet = (Poppler::setDebugErrorFunction(&quietPoppler, QVariant()), true);
    Q_UNUSED(quiet);
    if (path.isEmpty()) return fail(kBadArgument, 5, QStringLiteral("no PDF file given"));
    const QFileInfo info(path);
    if (!info.exists()) return fail(kMissing, 53, QStringLiteral("%1: %2").arg(path, fileio::notFoundReason(path)));
    if (!info.isFile()) return fail(kMissing, 53, QStringLiteral("%1: not a regular file").arg(path));
    auto job = std::make_unique<Job>();
    job->document = Poppler::Document::load(path, ownerPassword.toUtf8(), userPassword.toUtf8());
    if (!job->document) return fail(kNotPdf, 321, QStringLiteral("%1: not a PDF file or too damaged to read").arg(path));
    if (job->document->isLocked())
        return fail(kNeedsPassword, 70, QStringLiteral("%1: needs its password").arg(path));
    job->document->setRenderHint(Poppler::Document::Antialiasing);
    job->document->setRenderHint(Poppler::Document::TextAntialiasing);
    job->document->setPaperColor(Qt::white);
    job->path = path;
    job->password = userPassword.isEmpty() ? ownerPassword : userPassword;
    job->pages = job->document->numPages();
    int handle = 1;
    while (jobs().count(handle))
        ++handle;
    jobs()[handle] = std::move(job);
    return handle;
}

int apSetProperty(int handle, int property, const QString& text, int value) {
    Job* job = find(handle);
    if (!job) return fail(kBadArgument, 5, QStringLiteral("no document %1").arg(handle));
    const auto bad = [&] {
        return fail(kBadArgument, 5, QStringLiteral("property %1: \"%2\" / %3 is not valid").arg(property).arg(text).arg(value));
    };
    switch (property) {
    case kOutputFolder:
        job->folder = text;
        break;
    case kPrefix:
        job->prefix = text;
        break;
    case kDpi:
        if (value < 1 || value > 2400) return bad();
        job->dpi = value;
        break;
    case kImageType:
        if (extensionOf(value).isEmpty()) return bad();
        job->type = value;
        break;
    case kBitsPerPixel:
        if (value != 1 && value != 8 && value != 24) return bad();
        job->bitsPerPixel = value;
        break;
    case kOutputFile:
        job->outputFile = text;
        break;
    case kMultiPage:
        job->multiPage = value != 0;
        break;
    case kCompression:
        job->compression = value;
        break;
    default:
        return bad();
    }
    return 0;
}

int apPageCount(int handle) {
    const Job* job = find(handle);
    return job ? job->pages : fail(kBadArgument, 5, QStringLiteral("no document %1").arg(handle));
}

int apConvertPage(int handle, int page) {
    Job* job = find(handle);
    if (!job) return fail(kBadArgument, 5, QStringLiteral("no document %1").arg(handle));
    if (page < 1 || page > job->pages)
        return fail(kBadArgument, 9, QStringLiteral("%1 has no page %2").arg(job->path).arg(page));
    if (job->folder.isEmpty() && job->outputFile.isEmpty())
        return fail(kBadArgument, 76, QStringLiteral("no output folder for %1").arg(job->path));
    const std::unique_ptr<Poppler::Page> p = job->document->page(page - 1);
    if (!p) return fail(kNotPdf, 321, QStringLiteral("%1: cannot render page %2").arg(job->path).arg(page));
    // A page may claim any size; nothing is rendered of one larger than the caps.
    const QSize pixels = BandedPage::pixelSize(*p, job->dpi);
    if (pixels.width() > kMaxSide || pixels.height() > kMaxSide || qint64(pixels.width()) * pixels.height() > kMaxPixels)
        return fail(kNotPdf, 321,
                    QStringLiteral("%1: page %2 is too large to render at %3 dpi (%4 x %5 pixels; at most %6 pixels "
                                   "a side and %7 pixels in all)")
                        .arg(job->path)
                        .arg(page)
                        .arg(job->dpi)
                        .arg(pixels.width())
                        .arg(pixels.height())
                        .arg(QLocale(QLocale::English).toString(kMaxSide))
                        .arg(QLocale(QLocale::English).toString(kMaxPixels)));
    const RenderPlan plan = planPage(*job, page);
    if (!plan.refusal.isEmpty())
        return fail(kNotPdf, 321,
                    QStringLiteral("%1: page %2 cannot be rendered at %3 dpi: %4")
                        .arg(job->path)
                        .arg(page)
                        .arg(job->dpi)
                        .arg(plan.refusal));
    job->document->setRenderBackend(plan.painter ? Poppler::Document::QPainterBackend : Poppler::Document::SplashBackend);
    BandedPage image(*p, job->dpi, job->bitsPerPixel, job->path, page, plan.bandBytes);
    fileio::Failure failure;
    const QDir folder(job->folder);
    if (job->oneTiff()) {
        if (!job->tiff) {
            const QString name = job->prefix.isEmpty() ? baseNameOf(job->path) : job->prefix;
            job->tiffTarget =
                job->outputFile.isEmpty() ? folder.filePath(name + QStringLiteral(".tif")) : job->outputFile;
            job->tiff = std::make_unique<tiffpages::TiffOutput>(job->tiffTarget);
            if (!job->tiff->open(false, failure)) {
                job->tiff.reset();
                return fail(kBadArgument, failure.number, failure.text);
            }
        }
        if (!addTiffPage(*job->tiff, image, job->compression, job->path, page, failure))
            return fail(kBadArgument, failure.number, failure.text);
        ++job->tiffPages;
        return 0;
    }
    QString target;
    if (job->outputFile.isEmpty()) {
        target = folder.filePath(job->prefix + fileio::paddedNumber(page, job->pages) + u'.' + extensionOf(job->type));
    } else if (job->pages == 1) {
        target = job->outputFile;
    } else {
        const QFileInfo file(job->outputFile);
        target = file.dir().filePath(file.completeBaseName() + fileio::paddedNumber(page, job->pages) + u'.' +
                                     file.suffix());
    }
    if (!writePageImage(image, job->type, job->compression, target, failure, &job->outputs))
        return fail(kBadArgument, failure.number, failure.text);
    return 0;
}

int apClose(int handle) {
    const auto it = jobs().find(handle);
    if (it == jobs().end()) return fail(kBadArgument, 5, QStringLiteral("no document %1").arg(handle));
    std::unique_ptr<Job> job = std::move(it->second);
    jobs().erase(it);
    fileio::Failure failure;
    if (job->tiff && !job->tiff->commit(failure, &job->outputs)) return fail(kBadArgument, failure.number, failure.text);
    if (!job->outputs.commit(failure)) return fail(kBadArgument, failure.number, failure.text);
    return 0;
}

void apDiscard(int handle) { jobs().erase(handle); }

fileio::Failure apLastFailure() { return lastFailure(); }

} // namespace pdfrender
