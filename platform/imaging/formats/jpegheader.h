#pragma once

// Reads a JPEG's markers without decoding it: what pass-through needs (frame type, where
// the first image ends) and what the page needs (resolution, orientation, ICC, Adobe).

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

// A marker segment as it lies in the file: `offset` of its 0xFF, `length` including the
// two marker bytes.
struct JpegSegment {
    int marker = 0;
    size_t offset = 0;
    size_t length = 0;
};

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
    int precision = 8;
    int frameMarker = 0; // 0xC0 baseline, 0xC1 extended, 0xC2 progressive, ...
    bool adobe = false;  // APP14 "Adobe" present
    int adobeTransform = -1;
    bool rgbComponentIds = false; // components named 'R','G','B' (no colour transform)
    double dpiX = 0;
    double dpiY = 0;
    int orientation = 1;
    QByteArray icc;
    size_t imageEnd = 0; // offset just past the first image's EOI
    int maxH = 1, maxV = 1;      // largest sampling factors of the frame
    uint64_t blocks = 0;         // 8x8 blocks of all components the frame needs
    uint64_t entropyBytes = 0;   // coded data of every scan, without markers (with findEnd)
    std::vector<JpegSegment> segments; // frame, table and scan headers in file order (no APPn, COM)

    // Huffman coding spends at least one bit on every block.
    bool huffman() const { return frameMarker >= 0xC0 && frameMarker <= 0xC7 && frameMarker != 0xC4; }

    // 8-bit Huffman, sequential or progressive: what every PDF reader's DCTDecode takes.
    bool passable() const {
        return precision == 8 && (frameMarker == 0xC0 || frameMarker == 0xC1 || frameMarker == 0xC2) &&
               (components == 1 || components == 3 || components == 4);
    }
};

// Parses from SOI. With `findEnd` the entropy-coded data is scanned up to the first image's
// EOI; a file with no scan or no EOI is then corrupt. Answers an ApCode.
int parseJpeg(const uint8_t* data, size_t size, bool findEnd, JpegInfo& info, QString* error = nullptr);

// Orientation and resolution from an EXIF block (the APP1 payload after "Exif\0\0").
void parseExif(const uint8_t* data, size_t size, int& orientation, double& dpiX, double& dpiY);

} // namespace imaging
