// A small file may claim a huge page. Whatever it claims, memory follows what the file
// really holds: a claim it cannot back fails before the page is allocated, a metafile that
// declares a poster is drawn at a resolution it can afford, and a real large page costs
// about its decoded size. Peak memory is read from getrusage in a child process
// (imaging_memprobe) that converts one file.
#include "tests/imaging/imagingtest.h"

#include <QProcess>
#include <QtEndian>
#include <cmath>
#include <zlib.h>

namespace {

constexpr long kMiB = 1024; // getrusage counts kilobytes

struct Probe {
    bool ran = false;
    int added = 0;
    long peakKb = 0;
    long beforeKb = 0;
};

Probe probeConversion(const QString& input, const QString& output, const QString& compression = QString()) {
    QProcess process;
    QStringList args{input, output};
    if (!compression.isEmpty())
        args << compression;
    process.start(QStringLiteral(QM_MEMPROBE), args);
    Probe p;
    if (!process.waitForFinished(120000)) { // a guard against a hang, not a measurement
        process.kill();
        process.waitForFinished();
        return p;
    }
    const QList<QByteArray> words = process.readAllStandardOutput().simplified().split(' ');
    if (process.exitCode() != 0 || words.size() != 6)
        return p;
    p.ran = true;
    p.added = words[1].toInt();
    p.peakKb = words[3].toLong();
    p.beforeKb = words[5].toLong();
    return p;
}

QByteArray zlibBytes(const QByteArray& plain) {
    uLongf size = compressBound(uLong(plain.size()));
    QByteArray out(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(plain.constData()),
              uLong(plain.size()), 9);
    out.resize(qsizetype(size));
    return out;
}

// A TIFF by hand: one grey or 1-bit page whose strips are (offset into `data`, length).
QByteArray handTiff(uint32_t width, uint32_t height, uint16_t bits, uint16_t compression, uint32_t rowsPerStrip,
                    const std::vector<std::pair<uint32_t, uint32_t>>& strips, const QByteArray& data) {
    QByteArray b("II*\0\0\0\0\0", 8);
    b += data;
    if (b.size() % 2)
        b += '\0';
    const auto u16 = [](QByteArray& to, uint32_t v) { to.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF)); };
    const auto u32 = [&](QByteArray& to, uint32_t v) {
        u16(to, v & 0xFFFF);
        u16(to, v >> 16);
    };
    qToLittleEndian<quint32>(quint32(b.size()), b.data() + 4);
    const uint32_t n = uint32_t(strips.size());
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    const uint32_t entries = 9;
    const uint32_t arrays = uint32_t(b.size()) + 2 + 12 * entries + 4; // strip offsets, then counts
    const std::vector<Entry> ifd = {
        {256, 4, 1, width},
        {257, 4, 1, height},
        {258, 3, 1, bits},
        {259, 3, 1, compression},
        {262, 3, 1, bits == 1 ? 0u : 1u},
        {273, 4, n, n == 1 ? strips[0].first + 8 : arrays},
        {277, 3, 1, 1},
        {278, 4, 1, rowsPerStrip},
        {279, 4, n, n == 1 ? strips[0].second : arrays + 4 * n},
    };
    u16(b, entries);
    for (const Entry& e : ifd) {
        u16(b, e.tag);
        u16(b, e.type);
        u32(b, e.count);
        u32(b, e.value);
    }
    u32(b, 0);
    if (n > 1) {
        for (const auto& s : strips)
            u32(b, s.first + 8);
        for (const auto& s : strips)
            u32(b, s.second);
    }
    return b;
}

QByteArray pngChunk(const char* type, const QByteArray& body) {
    QByteArray c(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), c.data());
    const QByteArray typed = QByteArray(type, 4) + body;
    c += typed;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))),
                          crc.data());
    return c + crc;
}

// A grey PNG by hand; `rows` of zeros are what its data really holds.
QByteArray handPng(uint32_t width, uint32_t height, bool interlaced, bool keyed, uint32_t rows) {
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8; // grey, 8 bits
    header[12] = char(interlaced ? 1 : 0);
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    png += pngChunk("IHDR", header);
    if (keyed)
        png += pngChunk("tRNS", QByteArray("\0\7", 2)); // a colour key: decoded, not passed through
    png += pngChunk("IDAT", zlibBytes(QByteArray(qsizetype(rows) * (width + 1), '\0')));
    return png + pngChunk("IEND", {});
}

struct Hostile {
    const char* name;
    QByteArray bytes;
    const char* compression;
    bool converts = false; // a picture that declares its size: drawn, at a resolution it can afford
};

// A metafile of a few records declaring a picture `inches` square: an EMF frame, or a
// placeable WMF box at `unitsPerInch`.
QByteArray tinyMetafile(bool emf, double inches, int unitsPerInch = 400) {
    QByteArray b;
    const auto put = [&](std::initializer_list<int32_t> values, int bytes) {
        for (int32_t v : values)
            for (int i = 0; i < bytes; ++i)
                b.append(char(uint32_t(v) >> (8 * i) & 0xFF));
    };
    if (emf) {
        const int32_t frame = int32_t(inches * 2540); // hundredths of a millimetre
        put({1, 88, 0, 0, 1000, 1000, 0, 0, frame, frame}, 4);
        b += " EMF";
        put({0x10000, 108, 2}, 4);
        put({1, 0}, 2);
        put({0, 0, 0, 1000, 1000, 300, 300}, 4);
        put({14, 20, 0, 16, 20}, 4); // EOF record
        return b;
    }
    const int ext = int(inches * unitsPerInch);
    put({int32_t(0x9AC6CDD7)}, 4);
    put({0, 0, 0, ext, ext, unitsPerInch}, 2);
    put({0}, 4);
    uint16_t checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= qFromLittleEndian<quint16>(b.constData() + i);
    put({checksum}, 2);
    put({1, 9, 0x300}, 2);
    put({(18 + 10 + 10 + 14 + 6) / 2}, 4); // size in words
    put({0}, 2);
    put({7}, 4); // largest record
    put({0}, 2);
    const auto record = [&](int function, std::initializer_list<int32_t> params) {
        put({int32_t(3 + params.size())}, 4);
        put({function}, 2);
        put(params, 2);
    };
    record(0x020B, {0, 0});                     // SETWINDOWORG
    record(0x020C, {ext, ext});                 // SETWINDOWEXT
    record(0x041B, {ext / 2, ext / 2, 0, 0});   // RECTANGLE
    record(0x0000, {});                         // EOF
    return b;
}

// An EMF 8 inches square (a reference device of ten pixels a millimetre) holding `records`:
// each a type and its 32-bit parameters.
QByteArray emfOf(const std::vector<std::pair<uint32_t, std::vector<int32_t>>>& records) {
    QByteArray body;
    const auto put = [](QByteArray& to, int32_t v) {
        to += QByteArray(4, '\0');
        qToLittleEndian<qint32>(v, to.data() + to.size() - 4);
    };
    for (const auto& [type, params] : records) {
        put(body, int32_t(type));
        put(body, int32_t(8 + 4 * params.size()));
        for (int32_t v : params)
            put(body, v);
    }
    for (int32_t v : {14, 20, 0, 16, 20}) // EOF
        put(body, v);
    QByteArray b;
    for (int32_t v : {1, 88, 0, 0, 2031, 2031, 0, 0, 20320, 20320, 0x464D4520, 0x10000, int32_t(88 + body.size()),
                      int32_t(records.size() + 2), 16, 0, 0, 0, 1000, 1000, 100, 100})
        put(b, v);
    return b + body;
}

// A polygon record (type 3) or Bezier curves (2) through `points`.
std::pair<uint32_t, std::vector<int32_t>> emfPoints(uint32_t type, const std::vector<std::pair<int32_t, int32_t>>& points) {
    std::vector<int32_t> params{0, 0, 0, 0, int32_t(points.size())};
    for (const auto& [x, y] : points) {
        params.push_back(x);
        params.push_back(y);
    }
    return {type, params};
}

std::vector<Hostile> hostileFiles() {
    std::vector<Hostile> out;
    const QByteArray sixteen(16, '\0');
    out.push_back({"G4 TIFF claiming 200000 x 200000", handTiff(200000, 200000, 1, 4, 200000, {{0, 16}}, sixteen), ""});
    const QByteArray g4 = handTiff(100000, 100000, 1, 4, 100000, {{0, 16}}, sixteen);
    out.push_back({"G4 TIFF claiming 100000 x 100000, passed through", g4, ""});
    out.push_back({"G4 TIFF claiming 100000 x 100000, decoded", g4, "Lzw"});
    out.push_back({"uncompressed TIFF claiming 40000 x 40000",
                   handTiff(40000, 40000, 8, 1, 40000, {{0, 40000u * 40000u}}, sixteen), ""});
    const QByteArray strip = zlibBytes(QByteArray(64 * 32768, '\0'));
    std::vector<std::pair<uint32_t, uint32_t>> strips{{0, uint32_t(strip.size())}};
    for (int i = 1; i < 512; ++i)
        strips.push_back({uint32_t(strip.size()), 16});
    out.push_back({"deflate TIFF claiming 32768 x 32768, one strip of 512 real",
                   handTiff(32768, 32768, 8, 8, 64, strips, strip + QByteArray(16, '\x55')), ""});
    out.push_back({"deflate TIFF claiming 32768 x 32768 in one strip holding 64 rows",
                   handTiff(32768, 32768, 8, 8, 32768, {{0, uint32_t(strip.size())}}, strip), ""});
    out.push_back({"PNG claiming 40000 x 40000, decoded", handPng(40000, 40000, false, true, 8), ""});
    out.push_back({"interlaced PNG claiming 40000 x 40000", handPng(40000, 40000, true, false, 8), ""});
    QByteArray jpeg = fx::jpegBytes(fx::photo(64, 48, 3));
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    if (sof > 0) {
        qToBigEndian<quint16>(20000, jpeg.data() + sof + 5);
        qToBigEndian<quint16>(30000, jpeg.data() + sof + 7);
    }
    out.push_back({"JPEG claiming 30000 x 20000, decoded", jpeg, "Zip"});
    QByteArray tga(18, '\0');
    tga[2] = 3; // grey
    qToLittleEndian<quint16>(16000, tga.data() + 12);
    qToLittleEndian<quint16>(16000, tga.data() + 14);
    tga[16] = 8;
    out.push_back({"TGA claiming 16000 x 16000", tga + QByteArray(64, '\0'), ""});
    tga[2] = 11; // run-length encoded grey
    out.push_back({"RLE TGA claiming 16000 x 16000", tga + QByteArray(64, '\0'), ""});
    QByteArray psd("8BPS\0\1\0\0\0\0\0\0\0\1", 14); // version 1, one channel
    psd += QByteArray(8, '\0');
    qToBigEndian<quint32>(16000, psd.data() + 14);
    qToBigEndian<quint32>(16000, psd.data() + 18);
    psd += QByteArray("\0\x08\0\x01", 4); // 8 bits, greyscale
    psd += QByteArray(14, '\0');          // empty sections, raw composite
    out.push_back({"PSD claiming 16000 x 16000", psd + QByteArray(64, '\0'), ""});
    QByteArray pcx(128, '\0'); // 1 bit, run-length encoded, one plane
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 1;
    qToLittleEndian<quint16>(59999, pcx.data() + 8);
    qToLittleEndian<quint16>(59999, pcx.data() + 10);
    pcx[65] = 1;
    qToLittleEndian<quint16>(7500, pcx.data() + 66);
    out.push_back({"1-bit PCX claiming 60000 x 60000", pcx + QByteArray(64, '\xFF'), ""});
    // ImageMagick allocates 10 bytes a pixel of a GIF frame (2 GB here) before reading its data.
    QByteArray gif = QByteArray("GIF89a\6\0\4\0\xf4\0\0", 13) + QByteArray(96, '\0'); // 32 colours
    gif += QByteArray(",\0\0\0\0", 5) + QByteArray(4, '\0');
    qToLittleEndian<quint16>(17488, gif.data() + 114); // the frame's width and height
    qToLittleEndian<quint16>(11590, gif.data() + 116);
    gif += QByteArray("\0\5\4\x84\x8f\xa9\x0b\0;", 9); // no local table; 4 bytes of LZW data
    out.push_back({"GIF frame claiming 17488 x 11590", gif, ""});
    // OpenJPEG sets up coding parameters for every tile the size marker names (670 MB here).
    QByteArray j2k("\xff\x4f\xff\x51\0\x29\0\0", 8);
    for (const quint32 v : {32u, 851968u, 0u, 0u, 32u, 16u, 0u, 0u}) { // 53248 tiles of 32 x 16
        j2k += QByteArray(4, '\0');
        qToBigEndian<quint32>(v, j2k.data() + j2k.size() - 4);
    }
    j2k += QByteArray("\0\1\7\1\1", 5);                                          // one 8-bit component
    j2k += QByteArray::fromHex("ff52000c00000001000204040001ff5c000a4048484848484848"); // COD, QCD
    j2k += QByteArray::fromHex("ff90000a0000000000000001ff93") + QByteArray(16, '\0') + "\xff\xd9";
    out.push_back({"JPEG 2000 code stream claiming 53248 tiles", j2k, ""});
    out.push_back({"EMF declaring a 78-inch square picture", tinyMetafile(true, 78), "", true});
    out.push_back({"WMF declaring an 81-inch square picture", tinyMetafile(false, 81), "", true});
    // Found by fuzzing: an ellipse 130,000 units wide on a 15-pixel-high frame once took
    // minutes and passed a gigabyte; only its part on the page is drawn.
    const QByteArray ellipse = QByteArray::fromHex(
        "d7cdc69a00000000000010904800a0050000000069520100090000036a00000004001000000000000400000003010800"
        "050000000b0200000000050000000c029000480008000000fa0205000100000000000000040000002d01000007000000"
        "fc020000ff0000000000040000002d010100070000001b04900024000000000007000000fc0200000000fd0000000400"
        "00002d01020007000000180491000048000024000e000000fb0237ff00000000000079feffffffffffff417269616c00"
        "040000002d01030005000000090200800000090000002105050048656c6c6f0064006400030000000000");
    out.push_back({"WMF whose ellipse reaches far beyond its frame", ellipse, "", true});
    // Found while measuring: a star of 2,003 points whose every edge crosses the page drew
    // for minutes; it is refused for the work it asks for.
    std::vector<std::pair<int32_t, int32_t>> star;
    for (int i = 0; i < 2003; ++i) {
        const double angle = 2 * 3.14159265358979 * (i * 1001 % 2003) / 2003;
        star.emplace_back(int32_t(1016 + 1000 * std::cos(angle)), int32_t(1016 + 1000 * std::sin(angle)));
    }
    out.push_back({"EMF polygon crossing itself on every row", emfOf({{39, {1, 0, 0xFF, 0}}, {37, {1}}, emfPoints(3, star)}),
                   "", false});
    // Bezier curves whose control points swing a million units off the page took a gigabyte
    // and minutes; only what shows of them is drawn.
    std::vector<std::pair<int32_t, int32_t>> swing{{1016, 1016}};
    for (int i = 0; i < 1000; ++i) {
        swing.emplace_back(i % 2 ? -1000000 : 1000000, -1000000);
        swing.emplace_back(i % 2 ? 1000000 : -1000000, 3000000);
        swing.emplace_back(1016 + i % 50, 1016);
    }
    out.push_back({"EMF Bezier curves swinging far off the page", emfOf({emfPoints(2, swing)}), "", true});
    return out;
}

class PeakMemory : public ImagingTest {};

} // namespace

TEST_F(PeakMemory, AClaimTheFileCannotBackCostsLittle) {
    for (const Hostile& h : hostileFiles()) {
        SCOPED_TRACE(h.name);
        ASSERT_FALSE(h.bytes.isEmpty());
        ASSERT_LT(h.bytes.size(), 1 << 20);
        const QString input = write(QStringLiteral("hostile"), h.bytes);
        const Probe p = probeConversion(input, path(QStringLiteral("out.pdf")), QString::fromLatin1(h.compression));
        ASSERT_TRUE(p.ran);
        EXPECT_EQ(p.added > 0, h.converts);
        EXPECT_LT(p.peakKb, 400 * kMiB);
    }
}

TEST_F(PeakMemory, ARealLargePageCostsAboutItsDecodedSize) {
    // 16000 x 16000 grey zeros: 244 MiB decoded from a file of a quarter megabyte.
    const long decodedKb = 16000L * 16000 / 1024;
    const QString png = write(QStringLiteral("zeros.png"), handPng(16000, 16000, false, false, 16000));
    Probe p = probeConversion(png, path(QStringLiteral("passed.pdf")));
    ASSERT_TRUE(p.ran);
    EXPECT_EQ(p.added, 1);
    EXPECT_LT(p.peakKb - p.beforeKb, 64 * kMiB); // passed through: never decoded
    p = probeConversion(png, path(QStringLiteral("decoded.pdf")), QStringLiteral("Lzw"));
    ASSERT_TRUE(p.ran);
    EXPECT_EQ(p.added, 1);
    EXPECT_LT(p.peakKb - p.beforeKb, decodedKb * 3 / 2);

    // The same page as a TIFF of 250 deflated strips that share one stored strip.
    const QByteArray strip = zlibBytes(QByteArray(64 * 16000, '\0'));
    const std::vector<std::pair<uint32_t, uint32_t>> strips(250, {0, uint32_t(strip.size())});
    const QString tiff = write(QStringLiteral("zeros.tif"), handTiff(16000, 16000, 8, 8, 64, strips, strip));
    p = probeConversion(tiff, path(QStringLiteral("tiff.pdf")), QStringLiteral("Zip"));
    ASSERT_TRUE(p.ran);
    EXPECT_EQ(p.added, 1);
    EXPECT_LT(p.peakKb - p.beforeKb, decodedKb * 3 / 2);
}
