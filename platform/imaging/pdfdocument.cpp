#include "platform/imaging/pdfdocument.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/imaging/pagegeometry.h"

#include <functional>
#include <map>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <qpdf/Pipeline.hh>
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

std::string number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", v);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

// An embedded profile is used only when it describes the data (same colour space).
bool iccMatches(const QByteArray& icc, int components) {
    if (icc.size() < 132) return false;
    const QByteArray sig = icc.mid(16, 4);
    return (components == 1 && sig == "GRAY") || (components == 3 && sig == "RGB ") ||
           (components == 4 && sig == "CMYK");
}

class FilePipeline final : public Pipeline {
public:
    explicit FilePipeline(fileio::AtomicWriter& file) : Pipeline("output", nullptr), m_file(file) {}
    void write(unsigned char const* data, size_t len) override {
        if (!m_file.write(data, len)) throw std::runtime_error(m_file.errorString().toStdString());
    }
    void finish() override {}

private:
    fileio::AtomicWriter& m_file;
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

namespace {

QPDFObjectHandle colourSpace(QPDF& pdf, const ImageStream& s) {
    const int n = s.model == ColourModel::Indexed ? 3 : s.components();
    const char* device = n == 1 ? "/DeviceGray" : n == 3 ? "/DeviceRGB" : "/DeviceCMYK";
    QPDFObjectHandle base = QPDFObjectHandle::newName(device);
    if (iccMatches(s.icc, n)) {
        QPDFObjectHandle profile = QPDFObjectHandle::newStream(&pdf, s.icc.toStdString());
        profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(n));
        profile.getDict().replaceKey("/Alternate", QPDFObjectHandle::newName(device));
        base = QPDFObjectHandle::newArray({QPDFObjectHandle::newName("/ICCBased"), profile});
    }
    if (s.model != ColourModel::Indexed) return base;
    const size_t entries = std::max<size_t>(1, s.palette.size() / 3);
    std::string lookup(reinterpret_cast<const char*>(s.palette.data()),
                       entries * 3 <= s.palette.size() ? entries * 3 : 0);
    lookup.resize(entries * 3, '\0');
    return QPDFObjectHandle::newArray({QPDFObjectHandle::newName("/Indexed"), base,
                                       QPDFObjectHandle::newInteger(int(entries) - 1),
                                       QPDFObjectHandle::newString(lookup)});
}

} // namespace

PdfDocument::PdfDocument() : m_pdf(std::make_unique<QPDF>()), m_provider(std::make_shared<Provider>()) {
    keepFreedMemoryForReuse();
    m_pdf->emptyPDF();
    m_pdf->setSuppressWarnings(true);
}

PdfDocument::~PdfDocument() = default;

int PdfDocument::pageCount() const {
    return int(m_pdf->getAllPages().size());
}

void PdfDocument::requireVersion(int version) {
    m_version = std::max(m_version, version);
}

namespace {

QPDFObjectHandle makeImage(QPDF& pdf, const std::shared_ptr<QPDFObjectHandle::StreamDataProvider>& provider,
                           const ImageStream& s, bool isMask,
                           const std::function<void(QPDFObjGen, StreamDataPtr)>& remember) {
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(s.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(s.height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(s.bitsPerComponent));
    dict.replaceKey("/ColorSpace", isMask ? QPDFObjectHandle::newName("/DeviceGray") : colourSpace(pdf, s));
    if (s.invertDecode) {
        QPDFObjectHandle decode = QPDFObjectHandle::newArray();
        for (int i = 0; i < s.components(); ++i) {
            decode.appendItem(QPDFObjectHandle::newInteger(1));
            decode.appendItem(QPDFObjectHandle::newInteger(0));
        }
        dict.replaceKey("/Decode", decode);
    }
    QPDFObjectHandle filter = QPDFObjectHandle::newNull();
    QPDFObjectHandle parms = QPDFObjectHandle::newNull();
    if (!s.filter.empty()) filter = QPDFObjectHandle::newName("/" + s.filter);
    if (!s.parms.empty()) {
        parms = QPDFObjectHandle::newDictionary();
        for (const DecodeParm& p : s.parms)
            parms.replaceKey("/" + p.key, p.isBool ? QPDFObjectHandle::newBool(p.value != 0)
                                                   : QPDFObjectHandle::newInteger(p.value));
    }
    remember(image.getObjGen(), s.data);
    image.replaceStreamData(provider, filter, parms);
    image.setFilterOnWrite(false); // our bytes are final: QPDF must not re-encode them
    return image;
}

} // namespace

void PdfDocument::addImagePage(const EncodedPage& page) {
    auto remember = [this](QPDFObjGen og, StreamDataPtr data) { m_provider->add(og, std::move(data)); };
    QPDFObjectHandle image = makeImage(*m_pdf, m_provider, page.image, false, remember);
    if (page.softMask)
        image.getDict().replaceKey("/SMask", makeImage(*m_pdf, m_provider, *page.softMask, true, remember));
    if (page.image.bitsPerComponent == 16) requireVersion(15);

    const PagePlacement place =
        placeImage(page.image.width, page.image.height, page.dpiX, page.dpiY, page.orientation);
    std::string content = "q ";
    for (double v : place.matrix)
        content += number(v) + " ";
    content += "cm /Im0 Do Q\n";
    QPDFObjectHandle contents = QPDFObjectHandle::newStream(m_pdf.get(), content);
    contents.setFilterOnWrite(false);

    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", image);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    QPDFObjectHandle pageDict = QPDFObjectHandle::newDictionary();
    pageDict.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    pageDict.replaceKey("/MediaBox", QPDFObjectHandle::parse("[0 0 " + number(place.width) + " " +
                                                             number(place.height) + "]"));
    pageDict.replaceKey("/Resources", resources);
    pageDict.replaceKey("/Contents", contents);
    m_pdf->addPage(m_pdf->makeIndirectObject(pageDict), false);
}

void PdfDocument::truncatePages(int count) {
    while (pageCount() > count)
        m_pdf->removePage(m_pdf->getAllPages().back());
}

int PdfDocument::write(const QString& target, QString& error, const std::function<void(int percent)>& progress) {
    fileio::AtomicWriter file(target);
    if (!file.open()) {
        error = file.errorString();
        return ApCannotWrite;
    }
    try {
        FilePipeline out(file);
        QPDFWriter writer(*m_pdf);
        writer.setOutputPipeline(&out);
        writer.setDeterministicID(true); // the same input gives the same bytes, and each document its own ID
        writer.setDecodeLevel(qpdf_dl_none); // pages taken from other PDFs keep their streams as they are
        writer.setMinimumPDFVersion(std::to_string(m_version / 10) + "." + std::to_string(m_version % 10));
        if (progress) writer.registerProgressReporter(std::make_shared<QPDFWriter::FunctionProgressReporter>(progress));
        writer.write();
    } catch (const std::exception& e) {
        file.cancel();
        if (!m_provider->sourceError().isEmpty()) {
            error = m_provider->sourceError();
            return ApCannotRead;
        }
        error = file.errorNumber() ? file.errorString()
                                   : QStringLiteral("cannot write %1: %2").arg(target, QString::fromStdString(e.what()));
        return ApCannotWrite;
    }
    if (!file.commit()) {
        error = file.errorString();
        return ApCannotWrite;
    }
    return ApOk;
}

} // namespace imaging
