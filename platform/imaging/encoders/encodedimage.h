#pragma once

// An image as it enters the PDF: encoded bytes plus everything its XObject dictionary
// says about them, and the page placement (resolution, orientation).

#include "platform/imaging/formats/raster.h"
#include "platform/imaging/pdf/streamdata.h"

#include <QByteArray>
#include <optional>
#include <string>
#include <vector>

namespace imaging {

struct DecodeParm {
    std::string key; // without the slash, e.g. "Predictor"
    int value = 0;
    bool isBool = false;
};

struct ImageStream {
    int width = 0;
    int height = 0;
    int bitsPerComponent = 8;
    ColourModel model = ColourModel::Gray;
    std::vector<uint8_t> palette; // Indexed: RGB triples
    QByteArray icc;               // becomes an ICCBased colour space when not empty
    std::string filter;           // e.g. "FlateDecode"; empty for raw data
    std::vector<DecodeParm> parms;
    bool invertDecode = false; // Decode [1 0 ...] (Adobe CMYK JPEG)
    StreamDataPtr data;

    int components() const {
        switch (model) {
        case ColourModel::RGB:
            return 3;
        case ColourModel::CMYK:
            return 4;
        default:
            return 1;
        }
    }
};

struct EncodedPage {
    ImageStream image;
    std::optional<ImageStream> softMask;
    double dpiX = 0; // 0 or out of range: the default resolution applies
    double dpiY = 0;
    int orientation = 1; // EXIF/TIFF orientation 1..8
};

} // namespace imaging
