#pragma once

// The lossless encoders behind the compression names. Each takes rows of packed samples
// and answers false with `error` set when the codec fails.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

// PNG predictors as PDF's Predictor 15 reads them: a filter byte before every row, chosen
// per row by the smallest sum of absolute differences (as libpng does).
std::vector<uint8_t> applyPngPredictors(const uint8_t* rows, size_t rowBytes, size_t rowCount,
                                        int bytesPerPixel);

// zlib stream (FlateDecode).
bool encodeFlate(const uint8_t* data, size_t size, std::vector<uint8_t>& out, QString& error);

// LZW as TIFF writes it, which is PDF's LZWDecode with EarlyChange 1.
bool encodeLzw(const uint8_t* rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
               QString& error);

// PackBits, which is PDF's RunLengthDecode, followed by the EOD byte 128.
bool encodeRunLength(const uint8_t* rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
                     QString& error);

// CCITT fax coding of 1-bit rows in which 0 bits are white: Group 4 (K -1) or Group 3
// one-dimensional with an EOL before each row and no RTC (K 0, EndOfLine true).
bool encodeCcitt(const uint8_t* rows, int width, int height, bool group4, std::vector<uint8_t>& out,
                 QString& error);

} // namespace imaging
