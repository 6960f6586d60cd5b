#include "platform/pdfrender/codestreamhead.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace pdfrender {

namespace {

// Markers and boxes before the header (colour profiles, thumbnails) rarely reach a megabyte.
constexpr size_t kMaxHeadBytes = size_t(4) << 20;

unsigned be16(const std::string& d, size_t i) { return unsigned(static_cast<unsigned char>(d[i])) << 8 | static_cast<unsigned char>(d[i + 1]); }
unsigned be32(const std::string& d, size_t i) { return be16(d, i) << 16 | be16(d, i + 2); }

// The JPEG markers from SOI to the frame header; stops at the first scan.
CodestreamHead jpegHead(const std::string& d) {
    CodestreamHead head;
    size_t i = 2; // past SOI
    while (i + 4 <= d.size()) {
        if (static_cast<unsigned char>(d[i]) != 0xFF) return head;
        const unsigned char marker = static_cast<unsigned char>(d[i + 1]);
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // no length
            i += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return head;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (i + 10 > d.size()) return head;
            head.found = true;
            head.height = int(be16(d, i + 5));
            head.width = int(be16(d, i + 7));
            head.components = static_cast<unsigned char>(d[i + 9]);
            head.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            return head;
        }
        i += 2 + be16(d, i + 2);
    }
    return head;
}

// The SIZ segment follows the codestream's SOC, in a JP2 file or bare.
CodestreamHead jpxHead(const std::string& d) {
    CodestreamHead head;
    const size_t at = d.find("\xFF\x4F\xFF\x51", 0, 4);
    if (at == std::string::npos || at + 42 > d.size()) return head;
    const size_t siz = at + 4;
    const unsigned xsiz = be32(d, siz + 4), ysiz = be32(d, siz + 8), xo = be32(d, siz + 12), yo = be32(d, siz + 16);
    if (xo > xsiz || yo > ysiz) return head;
    head.found = true;
    head.width = int(std::min(xsiz - xo, 0x7fffffffu));
    head.height = int(std::min(ysiz - yo, 0x7fffffffu));
    head.components = int(be16(d, siz + 36));
    return head;
}

class HeadSink : public Pipeline {
public:
    explicit HeadSink(bool jpx) : Pipeline("image header", nullptr), m_jpx(jpx) {}
    void write(unsigned char const* data, size_t len) override {
        m_data.append(reinterpret_cast<const char*>(data), std::min(len, kMaxHeadBytes - m_data.size()));
        head = parseCodestreamHead(m_data, m_jpx);
        // Enough read: the rest of the stream is not needed.
        if (head.found || m_data.size() >= kMaxHeadBytes) throw std::runtime_error("header read");
    }
    void finish() override {}
    CodestreamHead head;

private:
    bool m_jpx;
    std::string m_data;
};

} // namespace

CodestreamHead parseCodestreamHead(const std::string& data, bool jpx) {
    if (jpx) return jpxHead(data);
    if (data.size() < 2 || static_cast<unsigned char>(data[0]) != 0xFF || static_cast<unsigned char>(data[1]) != 0xD8) return {};
    return jpegHead(data);
}

CodestreamHead readCodestreamHead(QPDFObjectHandle stream, bool jpx) {
    if (!stream.isStream()) return {};
    HeadSink sink(jpx);
    try {
        QPDFObjectHandle source = stream;
        QPDFObjectHandle filters = stream.getDict().getKey("/Filter");
        if (filters.isArray() && filters.getArrayNItems() > 1) {
            // Undo the filters before the image's own, on a copy whose last filter is dropped.
            source = stream.copyStream();
            std::vector<QPDFObjectHandle> before = filters.getArrayAsVector();
            before.pop_back();
            source.getDict().replaceKey("/Filter", QPDFObjectHandle::newArray(before));
            QPDFObjectHandle parms = stream.getDict().getKey("/DecodeParms");
            if (parms.isArray() && parms.getArrayNItems() == filters.getArrayNItems()) {
                std::vector<QPDFObjectHandle> p = parms.getArrayAsVector();
                p.pop_back();
                source.getDict().replaceKey("/DecodeParms", QPDFObjectHandle::newArray(p));
            } else {
                source.getDict().removeKey("/DecodeParms");
            }
            source.pipeStreamData(&sink, nullptr, 0, qpdf_dl_generalized, true, false);
        } else {
            source.pipeStreamData(&sink, nullptr, 0, qpdf_dl_none, true, false);
        }
    } catch (const std::exception&) {
        // Stopped once the header was read, or the stream is damaged: what was read stands.
    }
    return sink.head;
}

} // namespace pdfrender
