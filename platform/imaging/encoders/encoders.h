#pragma once

// The lossless encoders behind the compression names. Each takes its rows one at a time
// from a RowSource, so that no whole filtered copy of a page is ever made, and answers
// false with `error` set when the codec fails.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace imaging {

// Answers the bytes of row `y` (rows are asked for in order, top to bottom); the pointer
// stays valid until the next call.
using RowSource = std::function<const uint8_t*(size_t y)>;

// PNG predictors as PDF's Predictor 15 reads them: a filter byte before every row, chosen
// per row by the smallest sum of absolute differences (as libpng does). Rows are filtered
// on demand, in order.
class PngPredictor {
public:
    PngPredictor(const uint8_t* rows, size_t rowBytes, int bytesPerPixel);
    size_t filteredRowBytes() const { return m_rowBytes + 1; }
    const uint8_t* row(size_t y);

private:
    const uint8_t* m_rows;
    size_t m_rowBytes;
    int m_bytesPerPixel;
    std::vector<uint8_t> m_out;
    std::vector<uint8_t> m_trial;
};

// zlib stream (FlateDecode).
bool encodeFlate(const RowSource& rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
                 QString& error);

// LZW as TIFF writes it, which is PDF's LZWDecode with EarlyChange 1.
bool encodeLzw(const RowSource& rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
               QString& error);

// PackBits, which is PDF's RunLengthDecode, followed by the EOD byte 128.
bool encodeRunLength(const RowSource& rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
                     QString& error);

// CCITT fax coding of 1-bit rows in which 0 bits are white: Group 4 (K -1) or Group 3
// one-dimensional with an EOL before each row and no RTC (K 0, EndOfLine true).
bool encodeCcitt(const uint8_t* rows, int width, int height, bool group4, std::vector<uint8_t>& out,
                 QString& error);

} // namespace imaging
