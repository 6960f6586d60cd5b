#include "platform/imaging/formats/otherformats.h"
#include "tests/formats/formatfixtures.h"

#include <Magick++.h>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <random>

using namespace imaging;

namespace {

struct Sample {
    const char* name;
    ImageFormat format;
    QByteArray data;
};

// One valid file of each format read here; the broken inputs are made from these.
std::vector<Sample> samples() {
    using namespace fixtures;
    const Picture colour = colourPicture(61, 45);
    auto palette = [](Magick::Image& i) { i.type(MagickCore::PaletteType); };
    return {
        {"gif", ImageFormat::Gif, magickWrite(colour, "GIF")},
        {"bmp8", ImageFormat::Bmp, bmp(colour, 8)},
        {"bmp24", ImageFormat::Bmp, bmp(colour, 24)},
        {"pcx", ImageFormat::Pcx, magickWrite(colour, "PCX", palette)},
        {"pcx1", ImageFormat::Pcx, pcx1(bilevelPicture(61, 45), 200)},
        {"dcx", ImageFormat::Dcx, dcx({magickWrite(colour, "PCX", palette), pcx1(bilevelPicture(61, 45), 200)})},
        {"ppm", ImageFormat::Pnm, pnm(colour, '6')},
        {"psd", ImageFormat::Psd, magickWrite(colour, "PSD", [](Magick::Image& i) { i.type(MagickCore::TrueColorType); })},
        {"psd-indexed", ImageFormat::Psd, psdIndexed(colour)},
        {"tga", ImageFormat::Tga, magickWrite(colour, "TGA", palette)},
        {"ico", ImageFormat::Ico, ico({{colourPicture(32, 32), 32}, {colourPicture(16, 16), 8}})},
        {"emf", ImageFormat::Emf, emf(1, 1)},
        {"wmf", ImageFormat::Wmf, wmf(1, 1)},
    };
}

void putBe(QByteArray& b, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        b.append(char(v >> (8 * i)));
}

// A 2 x 2 grey PSD with one layer of `width` x `height` pixels whose one channel holds
// `channel` (its compression first); its record claims `claimed` bytes, or what it holds.
QByteArray psdWithLayer(uint32_t width, uint32_t height, const QByteArray& channel, uint32_t claimed = 0) {
    QByteArray record;
    putBe(record, 0, 4); // top, left, bottom, right
    putBe(record, 0, 4);
    putBe(record, height, 4);
    putBe(record, width, 4);
    putBe(record, 1, 2); // channels
    putBe(record, 0, 2);
    putBe(record, claimed ? claimed : uint32_t(channel.size()), 4);
    record += "8BIMnorm";
    record += QByteArray("\xff\0\0\0", 4);
    putBe(record, 12, 4); // no mask, no blending ranges, an empty name
    record += QByteArray(12, '\0');
    QByteArray info;
    putBe(info, 1, 2); // one layer
    info += record + channel;
    QByteArray b("8BPS");
    putBe(b, 1, 2);
    b += QByteArray(6, '\0');
    putBe(b, 1, 2);
    putBe(b, 2, 4);
    putBe(b, 2, 4);
    putBe(b, 8, 2);
    putBe(b, 1, 2); // grey
    putBe(b, 0, 4);
    putBe(b, 0, 4);
    putBe(b, uint32_t(4 + info.size() + 4), 4);
    putBe(b, uint32_t(info.size()), 4);
    b += info;
    putBe(b, 0, 4); // global mask
    putBe(b, 0, 2); // raw composite
    b += QByteArray("\x10\x40\x80\xf0", 4);
    return b;
}

class BrokenInput : public ::testing::Test {
protected:
    int decode(const QByteArray& data, ImageFormat format, const char* name = "f") {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(fixtures::writeAll(path, data));
        pages = 0;
        return decodeOtherFormat(path, format, [&](RasterPage& page) {
            ++pages;
            // Whatever a damaged file gives, the page the library gets is consistent.
            EXPECT_GT(page.width, 0);
            EXPECT_GT(page.height, 0);
            EXPECT_EQ(page.pixels.size(), page.rowBytes() * size_t(page.height));
            EXPECT_TRUE(page.alpha.empty() || page.alpha.size() == size_t(page.width) * size_t(page.height));
            if (page.model == ColourModel::Indexed) {
                EXPECT_FALSE(page.palette.empty());
            }
            return int(ApOk);
        }, error);
    }
    int bitsPerPixel(const QByteArray& data, ImageFormat format) {
        const QString path = dir.filePath(QStringLiteral("b"));
        EXPECT_TRUE(fixtures::writeAll(path, data));
        return otherFormatBitsPerPixel(path, format);
    }

    QTemporaryDir dir;
    QString error;
    int pages = 0;
};

} // namespace

TEST_F(BrokenInput, EmptyTinyAndCutFilesAnswerACodeAndNoPage) {
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.name);
        ASSERT_EQ(decode(s.data, s.format), ApOk) << error.toStdString(); // the sample itself is sound
        for (const qsizetype size : {qsizetype(0), qsizetype(10), s.data.size() / 2}) {
            SCOPED_TRACE(size);
            EXPECT_LT(decode(s.data.left(size), s.format), 0);
            EXPECT_EQ(pages, 0);
            EXPECT_FALSE(error.isEmpty());
        }
        EXPECT_LT(bitsPerPixel(QByteArray(), s.format), 0);
        EXPECT_LT(bitsPerPixel(QByteArray("plain text, not an image\n"), s.format), 0);
    }
}

TEST_F(BrokenInput, HeadersClaimingHugePagesAreRefusedBeforeDecoding) {
    using namespace fixtures;
    const Picture small = colourPicture(8, 8);
    QByteArray bmp24 = bmp(small, 24);
    qToLittleEndian<qint32>(100000, bmp24.data() + 18);
    qToLittleEndian<qint32>(100000, bmp24.data() + 22);
    QByteArray psd = magickWrite(small, "PSD", [](Magick::Image& i) { i.type(MagickCore::TrueColorType); });
    qToBigEndian<quint32>(300000, psd.data() + 14);
    qToBigEndian<quint32>(300000, psd.data() + 18);
    QByteArray gif = magickWrite(greyPicture(), "GIF"); // 8-bit table: 4 GB at 65535 x 65535
    ASSERT_EQ(uint8_t(gif[10]) & 0x87, 0x87);
    const qsizetype descriptor = gif.indexOf(',', 13 + 768);
    ASSERT_GT(descriptor, 0);
    for (const qsizetype at : {qsizetype(6), descriptor + 5})
        qToLittleEndian<quint32>(0xFFFFFFFF, gif.data() + at); // width and height
    QByteArray tga = magickWrite(small, "TGA", [](Magick::Image& i) { i.type(MagickCore::TrueColorType); });
    qToLittleEndian<quint16>(65535, tga.data() + 12);
    qToLittleEndian<quint16>(65535, tga.data() + 14);
    QByteArray pcx = pcx1(bilevelPicture(8, 8), 0);
    qToLittleEndian<quint16>(65535, pcx.data() + 8);
    qToLittleEndian<quint16>(65535, pcx.data() + 10);
    pcx[3] = 8;
    pcx[65] = 3; // 24-bit: 12 GB decoded
    const QByteArray ppm = QByteArray("P6\n100000 100000\n255\n") + QByteArray(64, 'x');
    const QByteArray wide = QByteArray("P4\n2000000 1\n") + QByteArray(64, 'x'); // one side over 2^20
    struct Case {
        const char* name;
        ImageFormat format;
        QByteArray data;
    } cases[] = {
        {"bmp", ImageFormat::Bmp, bmp24}, {"psd", ImageFormat::Psd, psd}, {"gif", ImageFormat::Gif, gif},
        {"tga", ImageFormat::Tga, tga},   {"pcx", ImageFormat::Pcx, pcx}, {"ppm", ImageFormat::Pnm, ppm},
        {"pbm", ImageFormat::Pnm, wide},  {"dcx", ImageFormat::Dcx, dcx({pcx})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode(c.data, c.format), ApOverLimits);
        EXPECT_EQ(pages, 0);
    }
}

TEST_F(BrokenInput, DamagedFilesNeverBringTheProcessDown) {
    // A fixed corpus of damaged variants (flipped bytes, cut tails, repeated chunks) of
    // every sample, replayed on each run; a crash or hang here is a decoder to isolate.
    std::mt19937 random(20240611);
    int refused = 0, decoded = 0;
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.name);
        for (int round = 0; round < 40; ++round) {
            QByteArray data = s.data;
            const int kind = round % 4;
            std::uniform_int_distribution<qsizetype> at(0, data.size() - 1);
            if (kind == 0) {
                for (int i = 0; i < 4; ++i)
                    data[at(random)] = char(random());
            } else if (kind == 1) {
                data.truncate(at(random));
            } else if (kind == 2) {
                const qsizetype from = at(random);
                data.insert(at(random), data.mid(from, 64));
            } else {
                const qsizetype pos = std::min<qsizetype>(at(random) % 64, data.size() - 4);
                qToLittleEndian<quint32>(quint32(random()), data.data() + pos); // header fields
            }
            const int rc = decode(data, s.format, s.name);
            (rc == ApOk ? decoded : refused)++;
            if (rc != ApOk) {
                EXPECT_FALSE(error.isEmpty());
                if (s.format != ImageFormat::Dcx) { // a DCX may hand over its sound pages first
                    EXPECT_EQ(pages, 0);
                }
            }
        }
    }
    EXPECT_GT(refused, 0);
}

TEST_F(BrokenInput, PsdLayersMustBeHeldByTheirChannelData) {
    // ImageMagick sets up every layer at the size its record claims, so a layer that the
    // file cannot hold is refused before it gets there.
    const auto data = [](uint16_t compression, const QByteArray& bytes) {
        QByteArray channel;
        putBe(channel, compression, 2);
        return channel + bytes;
    };
    QByteArray rowTable;
    for (int y = 0; y < 4; ++y)
        putBe(rowTable, 2, 2);
    const QByteArray packBits = data(1, rowTable + QByteArray("\xfd\x22\xfd\x33\xfd\x44\xfd\x55", 8));
    struct Case {
        const char* name;
        QByteArray psd;
        int rc;
    } cases[] = {
        {"raw layer held in full", psdWithLayer(4, 3, data(0, QByteArray(12, 'x'))), ApOk},
        {"PackBits layer held", psdWithLayer(4, 4, packBits), ApOk},
        {"empty layer without data", psdWithLayer(0, 0, QByteArray()), ApOk},
        {"raw layer one byte short", psdWithLayer(4, 3, data(0, QByteArray(11, 'x'))), ApCorrupt},
        {"tall layer on a few bytes", psdWithLayer(6, 655364, data(0, QByteArray(24, 'x'))), ApCorrupt},
        {"PackBits rows missing", psdWithLayer(4, 400, packBits), ApCorrupt},
        {"deflate past its ratio", psdWithLayer(1000, 1000, data(3, QByteArray(900, 'x'))), ApCorrupt},
        {"channel past its section", psdWithLayer(4, 3, data(0, QByteArray(12, 'x')), 100), ApCorrupt},
        {"layer bigger than the limits", psdWithLayer(1 << 20, 1 << 20, data(2, QByteArray(64, 'x'))), ApOverLimits},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode(c.psd, ImageFormat::Psd), c.rc) << error.toStdString();
        EXPECT_EQ(pages, c.rc == ApOk ? 1 : 0);
    }
}
