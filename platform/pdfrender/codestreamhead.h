#pragma once

// The size a JPEG, JPEG 2000 or JBIG2 image gives itself. Poppler's decoders size an image by
// its own header, whatever its dictionary says, and hold some of them whole: a few hundred
// bytes of progressive JPEG can claim 60,000 x 60,000 pixels and so make libjpeg allocate
// 21 GB, and a JBIG2 page of the same claim takes 450 MB.

#include <string>

class QPDFObjectHandle;

namespace pdfrender {

enum class Codestream { Jpeg, Jpx, Jbig2 };

struct CodestreamHead {
    bool found = false;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false; // a JPEG whose coefficients libjpeg keeps for the whole image
    bool buried = false;      // not found in as much of the stream as is read for it
};

// Reads the frame header of a JPEG (SOFn), the SIZ segment of a JPEG 2000 codestream or the
// page information segment of an embedded JBIG2 stream from the first bytes of `data`.
CodestreamHead parseCodestreamHead(const std::string& data, Codestream kind);

// The same from an image stream whose last filter is DCTDecode, JPXDecode or JBIG2Decode; the
// filters before it are undone first. Reads no more of the stream than it needs (at most a few
// megabytes).
CodestreamHead readCodestreamHead(QPDFObjectHandle stream, Codestream kind);

} // namespace pdfrender
