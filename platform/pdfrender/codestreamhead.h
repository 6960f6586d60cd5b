#pragma once

// The size a JPEG or JPEG 2000 image gives itself. Poppler's decoders size an image by its own
// header, whatever its dictionary says, and hold some of them whole: a few hundred bytes of
// progressive JPEG can claim 60,000 x 60,000 pixels and so make libjpeg allocate 21 GB.

#include <string>

class QPDFObjectHandle;

namespace pdfrender {

struct CodestreamHead {
    bool found = false;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false; // a JPEG whose coefficients libjpeg keeps for the whole image
};

// Reads the frame header of a JPEG (SOFn) or the SIZ segment of a JPEG 2000 codestream from the
// first bytes of `data`.
CodestreamHead parseCodestreamHead(const std::string& data, bool jpx);

// The same from an image stream whose last filter is DCTDecode or JPXDecode; the filters before
// it are undone first. Reads no more of the stream than it needs (at most a few megabytes).
CodestreamHead readCodestreamHead(QPDFObjectHandle stream, bool jpx);

} // namespace pdfrender
