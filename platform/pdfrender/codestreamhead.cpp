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

unsigned be16(const std::string& d, size_t i) {
    return unsigned(static_cast<unsigned char>(d[i])) << 8 | static_cast<unsigned char>(d[i + 1]);
}
unsigned be32(const std::string& d, size_t i) {
    return be16(d, i) << 16 | be16(d, i + 2);
}

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
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
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
    const unsigned xsiz = be32(d, siz + 4), ysiz = be32(d, siz + 8), xo = be32(d, siz + 12),
                   yo = be32(d, siz + 16);
    if (xo > xsiz || yo > ysiz) return head;
    head.found = true;
    head.width = int(std::min(xsiz - xo, 0x7fffffffu));
    head.height = int(std::min(ysiz - yo, 0x7fffffffu));
    head.components = int(be16(d, siz + 36));
    return head;
}

// The segments of an embedded JBIG2 stream up to its page information (segment type 48).
CodestreamHead jbig2Head(const std::string& d) {
    CodestreamHead head;
    size_t i = 0;
    for (;;) {
        if (i + 6 > d.size()) return head;
        const unsigned flags = static_cast<unsigned char>(d[i + 4]);
        const unsigned number = be32(d, i);
        size_t at = i + 5;
        // Referred-to segments: a count in the top three bits, or a long form past 4.
        unsigned count = static_cast<unsigned char>(d[at]) >> 5;
        if (count == 7) {
            if (at + 4 > d.size()) return head;
            count = be32(d, at) & 0x1FFFFFFF;
            if (count > 0xFFFF) return head;
            at += 4 + (count + 8) / 8;
        } else {
            at += 1;
        }
        at += size_t(count) * (number <= 256 ? 1 : number <= 65536 ? 2 : 4);
        at += (flags & 0x40) ? 4 : 1; // page association
        if (at + 4 > d.size()) return head;
        const unsigned length = be32(d, at);
        at += 4;
        if ((flags & 0x3F) == 48) {
            if (at + 8 > d.size()) return head;
            head.found = true;
            head.width = int(std::min(be32(d, at), 0x7fffffffu));
            // A striped page of unknown height grows with its stripes: the data bounds it.
            const unsigned height = be32(d, at + 4);
            head.height = height == 0xFFFFFFFFu ? 0 : int(std::min(height, 0x7fffffffu));
            head.components = 1;
            return head;
        }
        if (length == 0xFFFFFFFFu) return head; // a region of unknown length: nothing beyond it is read
        i = at + length;
    }
}

class HeadSink : public Pipeline {
public:
    explicit HeadSink(Codestream kind) : Pipeline("image header", nullptr), m_kind(kind) {}
    void write(unsigned char const* data, size_t len) override {
        m_data.append(reinterpret_cast<const char*>(data), std::min(len, kMaxHeadBytes - m_data.size()));
        head = parseCodestreamHead(m_data, m_kind);
        // Enough read: the rest of the stream is not needed.
        if (!head.found && m_data.size() >= kMaxHeadBytes) head.buried = true;
        if (head.found || head.buried) throw std::runtime_error("header read");
    }
    void finish() override {}
    CodestreamHead head;

private:
    Codestream m_kind;
    std::string m_data;
};

} // namespace

CodestreamHead parseCodestreamHead(const std::string& data, Codestream kind) {
    if (kind == Codestream::Jpx) return jpxHead(data);
    if (kind == Codestream::Jbig2) return jbig2Head(data);
    if (data.size() < 2 || static_cast<unsigned char>(data[0]) != 0xFF ||
        static_cast<unsigned char>(data[1]) != 0xD8)
        return {};
    return jpegHead(data);
}

CodestreamHead readCodestreamHead(QPDFObjectHandle stream, Codestream kind) {
    if (!stream.isStream()) return {};
    HeadSink sink(kind);
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
