#include "tests/tools/toolfixtures.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <functional>
#include <tiffio.h>

namespace toolfx {

namespace {

QImage pattern(int width, int height, QImage::Format format) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba(x * 255 / width, y * 255 / height, (x + y) % 256, 128 + (x % 128)));
    return image.convertToFormat(format);
}

// Uncompressed single-strip pages of one sample per pixel; `fill` draws row y of a page.
bool writeTiffPages(const QString& path, int width, int height, int bits, int pages,
                    const std::function<void(std::vector<uint8_t>& row, int y, int page)>& fill) {
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    bool ok = true;
    std::vector<uint8_t> row(size_t((width * bits + 7) / 8), 0);
    for (int page = 0; page < pages && ok; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bits == 1 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(height));
        for (int y = 0; y < height && ok; ++y) {
            fill(row, y, page);
            ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
        }
        ok = ok && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

} // namespace

bool writeBilevelTiff(const QString& path, int width, int height) {
    return writeTiffPages(path, width, height, 1, 1, [](std::vector<uint8_t>& row, int y, int) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = uint8_t((y / 8 + int(i)) % 2 ? 0xF0 : 0x0F);
    });
}

bool writeGreyTiff(const QString& path, int width, int height, int pages) {
    return writeTiffPages(path, width, height, 8, pages, [](std::vector<uint8_t>& row, int y, int page) {
        for (size_t x = 0; x < row.size(); ++x)
            row[x] = uint8_t((int(x) * 7 + y * 3 + page * 50) % 256);
    });
}

bool writeGreyPng(const QString& path, int width, int height) {
    return pattern(width, height, QImage::Format_Grayscale8).save(path, "PNG");
}

bool writeColourJpeg(const QString& path, int width, int height) {
    return pattern(width, height, QImage::Format_RGB888).save(path, "JPG", 90);
}

bool writeRgbaPng(const QString& path, int width, int height) {
    return pattern(width, height, QImage::Format_ARGB32).save(path, "PNG");
}

bool writePaletteBmp(const QString& path, int width, int height) {
    QByteArray b;
    auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    const int rowBytes = (width * 4 + 31) / 32 * 4;
    b.append("BM");
    put(uint32_t(14 + 40 + 64 + rowBytes * height), 4);
    put(0, 4);
    put(14 + 40 + 64, 4);
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height)})
        put(v, 4);
    put(1, 2);
    put(4, 2);
    for (uint32_t v : {0u, uint32_t(rowBytes * height), 0u, 0u, 16u, 0u})
        put(v, 4);
    for (int i = 0; i < 16; ++i)
        put(uint32_t(i * 16) | uint32_t(255 - i * 16) << 8 | uint32_t((i * 97) % 256) << 16, 4);
    for (int y = 0; y < height; ++y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < width; ++x)
            row[x / 2] = char(uint8_t(row[x / 2]) | ((x / 4 + y) % 16) << (x % 2 ? 0 : 4));
        b += row;
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
}

std::vector<PdfPage> readPdf(const QString& path) {
    std::vector<PdfPage> pages;
    try {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(path).constData());
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            PdfPage info;
            QPDFObjectHandle box = page.getMediaBox();
            info.width = box.getArrayItem(2).getNumericValue() - box.getArrayItem(0).getNumericValue();
            info.height = box.getArrayItem(3).getNumericValue() - box.getArrayItem(1).getNumericValue();
            for (auto& [name, image] : page.getImages()) {
                QPDFObjectHandle filter = image.getDict().getKey("/Filter");
                if (filter.isArray() && filter.getArrayNItems() > 0)
                    filter = filter.getArrayItem(0);
                info.filter = filter.isName() ? filter.getName() : std::string();
                break;
            }
            pages.push_back(info);
        }
    } catch (const std::exception&) {
        pages.clear();
    }
    return pages;
}

} // namespace toolfx
