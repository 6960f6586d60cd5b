#include "platform/imaging/pdf/pdfdocument.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/outputset.h"
#include "platform/fileio/qpdfpipeline.h"
#include "platform/imaging/pdf/pagegeometry.h"
#include "platform/imaging/pdf/pdfimagetext.h"
#include "platform/imaging/pdf/pdfimagewriter.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <atomic>
#include <map>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>
#include <stdexcept>

namespace imaging {

namespace {

// While it writes, QPDF holds every stream it copies from another PDF in a buffer of its own.
// With glibc's default thresholds each such buffer is mapped, faulted in and given back to
// the system anew, which took half the time of a merge of large PDFs; a heap that keeps some
// freed memory serves the next buffer from pages it already has.
void keepFreedMemoryForReuse() {
#ifdef __GLIBC__
    static const bool tuned = [] {
        mallopt(M_MMAP_THRESHOLD, 16 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        return true;
    }();
    (void)tuned;
#endif
}

// A source file changed under us: reported as "cannot read input", not as a write failure.
struct SourceReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace

// Hands QPDF the bytes of our streams while it writes.
class PdfDocument::Provider final : public QPDFObjectHandle::StreamDataProvider {
public:
    void add(QPDFObjGen og, StreamDataPtr data) { m_streams[og] = std::move(data); }
    void provideStreamData(QPDFObjGen const& og, Pipeline* pipeline) override {
        const auto it = m_streams.find(og);
        if (it == m_streams.end()) throw std::logic_error("no data for a stream");
        QString error;
        if (!it->second->writeTo([&](const uint8_t* p, size_t n) { pipeline->write(p, n); }, error)) {
            m_sourceError = error; // QPDF wraps what we throw: remember why
            throw SourceReadError(error.toStdString());
        }
        pipeline->finish();
    }
    QString sourceError() const { return m_sourceError; }

private:
    QString m_sourceError;
    std::map<QPDFObjGen, StreamDataPtr> m_streams;
};

PdfDocument::PdfDocument() : m_provider(std::make_shared<Provider>()) {
    keepFreedMemoryForReuse();
}

PdfDocument::~PdfDocument() = default;

int PdfDocument::pageCount() const {
    return m_pdf ? int(m_pdf->getAllPages().size()) : int(m_images.size());
}

void PdfDocument::requireVersion(int version) {
    m_version = std::max(m_version, version);
}

void PdfDocument::noteSource(const QString& path, const FileStamp& stamp) {
    m_identity += QFileInfo(path).absoluteFilePath().toStdString();
    for (const int64_t v : {int64_t(stamp.device), int64_t(stamp.inode), stamp.size, stamp.modifiedNs, stamp.changedNs})
        m_identity += " " + std::to_string(v);
    m_identity += "\n";
}

void PdfDocument::addImagePage(const EncodedPage& page) {
    if (page.image.bitsPerComponent == 16) requireVersion(15);
    const ImageStream& s = page.image;
    m_identity += std::to_string(s.width) + "x" + std::to_string(s.height) + " " + s.filter + " " +
                  std::to_string(s.data->size()) + " " + pdfNumber(page.dpiX) + " " + pdfNumber(page.dpiY) + " " +
                  std::to_string(page.orientation) + "\n";
    if (m_pdf)
        addToQpdf(page);
    else
        m_images.push_back(page);
}

void PdfDocument::addToQpdf(const EncodedPage& page) {
    std::string maskRef;
    if (page.softMask) {
        QPDFObjectHandle mask = makeImage(*page.softMask, true, "");
        maskRef = mask.unparse();
    }
    QPDFObjectHandle image = makeImage(page.image, false, maskRef);
    const PagePlacement place =
        placeImage(page.image.width, page.image.height, page.dpiX, page.dpiY, page.orientation);
    QPDFObjectHandle contents = QPDFObjectHandle::newStream(m_pdf.get(), pageContent(place));
    contents.setFilterOnWrite(false);

    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", image);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    QPDFObjectHandle pageDict = QPDFObjectHandle::newDictionary();
    pageDict.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    pageDict.replaceKey("/MediaBox", QPDFObjectHandle::parse(mediaBox(place)));
    pageDict.replaceKey("/Resources", resources);
    pageDict.replaceKey("/Contents", contents);
    m_pdf->addPage(m_pdf->makeIndirectObject(pageDict), false);
}

// One image XObject, with the same dictionary our own writer writes.
QPDFObjectHandle PdfDocument::makeImage(const ImageStream& s, bool isMask, const std::string& maskRef) {
    QPDF& pdf = *m_pdf;
    std::string iccRef;
    if (usesIccProfile(s, isMask)) {
        QPDFObjectHandle profile = QPDFObjectHandle::newStream(&pdf, s.icc.toStdString());
        profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(baseComponents(s)));
        profile.getDict().replaceKey("/Alternate", QPDFObjectHandle::newName(deviceSpaceOf(s)));
        iccRef = profile.unparse();
    }
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle dict =
        QPDFObjectHandle::parse(&pdf, imageDictionary(s, isMask, iccRef, maskRef).text(), "image dictionary");
    image.replaceDict(dict);
    m_provider->add(image.getObjGen(), s.data);
    image.replaceStreamData(m_provider, dict.getKey("/Filter"), dict.getKey("/DecodeParms"));
    image.setFilterOnWrite(false); // our bytes are final: QPDF must not re-encode them
    return image;
}

void PdfDocument::truncatePages(int count) {
    if (!m_pdf) {
        if (int(m_images.size()) > count) m_images.resize(size_t(std::max(count, 0)));
        return;
    }
    while (pageCount() > count)
        m_pdf->removePage(m_pdf->getAllPages().back());
}

void PdfDocument::moveToQpdf() {
    if (m_pdf) return;
    m_pdf = std::make_unique<QPDF>();
    m_pdf->emptyPDF();
    m_pdf->setSuppressWarnings(true);
    for (const EncodedPage& page : m_images)
        addToQpdf(page);
    m_images.clear();
}

namespace {
std::atomic<bool> g_fixedId{false};
}

void PdfDocument::setFixedIdForTests(bool fixed) {
    g_fixedId = fixed;
}

// Unique for every document written: what it is made of, where it goes and when.
std::string PdfDocument::documentId(const QString& target) const {
    if (g_fixedId)
        return std::string(16, '\x5a');
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(QByteArrayView(m_identity.data(), qsizetype(m_identity.size())));
    hash.addData(QFileInfo(target).absoluteFilePath().toUtf8());
    hash.addData(QByteArray::number(QDateTime::currentMSecsSinceEpoch()));
    const QByteArray digest = hash.result();
    return std::string(digest.constData(), size_t(digest.size()));
}

bool PdfDocument::pdfSourcesUnchanged(QString& error) const {
    for (const auto& [path, stamp] : m_pdfSources) {
        FileStamp now;
        if (!stampOf(path, now) || now != stamp) {
            error = QStringLiteral("%1 changed or vanished before the document was written").arg(path);
            return false;
        }
    }
    return true;
}

int PdfDocument::write(const QString& target, QString& error, const std::function<void(int percent)>& progress,
                       fileio::AtomicWriter::Mode mode, fileio::OutputSet* outputs, bool durable) {
    const auto place = [&](fileio::AtomicWriter& file) -> int {
        fileio::Failure failure;
        if (fileio::commitOrStage(file, outputs, failure)) return ApOk;
        error = failure.text;
        return writeFailureCode(file);
    };
    fileio::AtomicWriter file(target, mode);
    file.setSync(durable);
    if (!file.open()) {
        error = file.errorString();
        return writeFailureCode(file);
    }
    const std::string id = documentId(target);
    if (!m_pdf) {
        const int rc = writeImageDocument(m_images, m_version, id, file, error, progress);
        if (rc != ApOk) {
            file.cancel();
            return rc;
        }
        return place(file);
    }
    // QPDF reads the appended PDFs' streams at their old places while it writes: a file
    // replaced before or during the write would put other bytes into those pages.
    if (!pdfSourcesUnchanged(error)) {
        file.cancel();
        return ApCannotRead;
    }
    try {
        // QPDF keeps the first part of an ID it finds and makes the second from the time.
        const QPDFObjectHandle idString = QPDFObjectHandle::newString(id);
        m_pdf->getTrailer().replaceKey("/ID", QPDFObjectHandle::newArray({idString, idString}));
        fileio::AtomicWriterPipeline out(file);
        QPDFWriter writer(*m_pdf);
        writer.setOutputPipeline(&out);
        writer.setDecodeLevel(qpdf_dl_none); // pages taken from other PDFs keep their streams as they are
        writer.setStaticID(g_fixedId);
        writer.setMinimumPDFVersion(std::to_string(m_version / 10) + "." + std::to_string(m_version % 10));
        if (progress) writer.registerProgressReporter(std::make_shared<QPDFWriter::FunctionProgressReporter>(progress));
        writer.write();
        if (!pdfSourcesUnchanged(error)) {
            file.cancel();
            return ApCannotRead;
        }
    } catch (const std::exception& e) {
        file.cancel();
        if (!m_provider->sourceError().isEmpty()) {
            error = m_provider->sourceError();
            return ApCannotRead;
        }
        error = file.errorNumber() ? file.errorString()
                                   : QStringLiteral("cannot write %1: %2").arg(target, QString::fromStdString(e.what()));
        return writeFailureCode(file);
    }
    return place(file);
}

} // namespace imaging
