// Writes the seed corpus of every fuzz target into <folder>/<target>/, made by the same
// fixture code the tests use: small, valid files of each kind, so fuzzing starts deep
// inside every reader. Image targets take one option byte before the file (see
// imagefuzzer.cpp).

#include "core/propertybag.h"
#include "fuzz/fuzzinput.h"
#include "jobs/clonejournal.h"
#include "jobs/clonelist.h"
#include "platform/imaging/imagetopdf.h"
#include "platform/profile/privateprofile.h"
#include "tests/cursor/cursorfixtures.h"
#include "tests/formats/formatfixtures.h"
#include "tests/imaging/fixtures.h"

#include <Magick++.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

namespace {

using Seeds = std::vector<QByteArray>;

QByteArray withOption(uint8_t option, const QByteArray& file) {
    return QByteArray(1, char(option)) + file;
}

QByteArray tiffBytes(const std::vector<fx::TiffPage>& pages) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seed.tif"));
    return fx::writeTiff(path, pages) ? fx::readBytes(path) : QByteArray();
}

fx::TiffPage tiffPage(fx::Image image, uint16_t photometric, uint16_t compression) {
    fx::TiffPage page;
    page.image = std::move(image);
    page.photometric = photometric;
    page.compression = compression;
    return page;
}

Seeds tiffFiles() {
    fx::TiffPage g4 = tiffPage(fx::pattern(24, 8, 1, 1), PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4);
    fx::TiffPage lzw = tiffPage(fx::pattern(9, 5, 1, 8), PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW);
    lzw.rowsPerStrip = 2;
    lzw.xres = lzw.yres = 200;
    fx::TiffPage rgb = tiffPage(fx::pattern(16, 16, 3, 8), PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE);
    rgb.tiled = true;
    rgb.orientation = 6;
    fx::TiffPage palette = tiffPage(fx::pattern(7, 3, 1, 4), PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS);
    for (int i = 0; i < 16; ++i)
        palette.palette.insert(palette.palette.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), 0});
    fx::TiffPage rgba = tiffPage(fx::pattern(5, 4, 4, 16), PHOTOMETRIC_RGB, COMPRESSION_NONE);
    rgba.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    rgba.planar = PLANARCONFIG_SEPARATE;
    fx::TiffPage cmyk = tiffPage(fx::pattern(4, 4, 4, 8), PHOTOMETRIC_SEPARATED, COMPRESSION_NONE);
    cmyk.fillOrder = FILLORDER_LSB2MSB;
    return {tiffBytes({g4}), tiffBytes({lzw, palette}), tiffBytes({rgb}), tiffBytes({rgba}),
            tiffBytes({cmyk, g4})};
}

Seeds jpegFiles() {
    fx::JpegOptions progressive;
    progressive.progressive = true;
    progressive.densityUnit = 1;
    progressive.xDensity = progressive.yDensity = 300;
    fx::JpegOptions exif;
    exif.exifOrientation = 6;
    exif.exifDpi = 150;
    exif.thumbnailInExif = true;
    fx::JpegOptions cmyk;
    cmyk.adobeInvertedCmyk = true;
    fx::JpegOptions icc;
    icc.icc = fx::iccProfile("GRAY");
    return {fx::jpegBytes(fx::photo(16, 16, 3), progressive), fx::jpegBytes(fx::photo(9, 7, 1), exif),
            fx::jpegBytes(fx::photo(8, 8, 4), cmyk), fx::jpegBytes(fx::photo(17, 3, 1), icc)};
}

Seeds pngFiles() {
    fx::PngOptions palette;
    palette.colourType = 3;
    palette.palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 255, 255};
    palette.trns = {255, 128};
    fx::PngOptions interlaced;
    interlaced.interlace = true;
    interlaced.dpi = 300;
    fx::PngOptions icc;
    icc.icc = fx::iccProfile("RGB ");
    return {fx::pngBytes(fx::pattern(9, 5, 1, 8)), fx::pngBytes(fx::pattern(7, 6, 1, 2), palette),
            fx::pngBytes(fx::pattern(8, 8, 4, 16), interlaced), fx::pngBytes(fx::pattern(5, 5, 3, 8), icc),
            fx::pngBytes(fx::pattern(11, 2, 2, 8))};
}

std::map<std::string, Seeds> imageSeeds() {
    using namespace fixtures;
    const Picture colour = colourPicture(9, 5);
    const Picture grey = greyPicture(6, 4);
    const Picture bilevel = bilevelPicture(10, 3);
    const auto palette = [](Magick::Image& i) { i.type(MagickCore::PaletteType); };
    const auto rle = [](Magick::Image& i) {
        i.type(MagickCore::PaletteType);
        i.compressType(MagickCore::RLECompression);
    };
    const auto trueColour = [](Magick::Image& i) { i.type(MagickCore::TrueColorType); };
    // Photo CD keeps its 768 x 512 base image (YCC, chroma halved) at 0x30000, so the
    // smallest file that decodes ends with it, at 0xC0000; the writer pads one sector more.
    const QByteArray pcd = magickWrite(colourPicture(768, 512), "PCD").left(0xC0000);

    std::map<std::string, Seeds> seeds;
    seeds["tiff"] = tiffFiles();
    seeds["jpeg"] = jpegFiles();
    seeds["png"] = pngFiles();
    seeds["jp2"] = {fx::jp2Bytes(fx::pattern(16, 16, 3, 8), false, 300), fx::jp2Bytes(fx::pattern(32, 16, 1, 8), true)};
    seeds["gif"] = {magickWrite(colour, "GIF"), magickWriteFrames({grey, colour}, "GIF"),
                    magickWrite(bilevel, "GIF", [](Magick::Image& i) { i.interlaceType(MagickCore::LineInterlace); })};
    seeds["psd"] = {psdIndexed(colour), psdWithAlpha(withAlpha(colour)), magickWrite(grey, "PSD")};
    seeds["bmp"] = {bmp(bilevel, 1, 96), bmp(colour, 4), bmp(colour, 8), bmp(colour, 16), bmp(colour, 24, 300),
                    bmp(withAlpha(colour), 32)};
    seeds["dcx"] = {dcx({pcx1(bilevel, 200), magickWrite(colour, "PCX")})};
    seeds["pcx"] = {pcx1(bilevel, 300), magickWrite(colour, "PCX"), magickWrite(grey, "PCX")};
    seeds["ico"] = {ico({{colour, 8, false}, {withAlpha(grey), 32, false}}), ico({{colour, 32, true}})};
    seeds["pnm"] = {pnm(bilevel, '1'), pnm(grey, '2'), pnm(colour, '3'), pnm(bilevel, '4'), pnm(grey, '5', 65535),
                    pnm(colour, '6'), pnm(withAlpha(colour), '7')};
    seeds["pcd"] = {pcd};
    seeds["tga"] = {magickWrite(colour, "TGA", palette), magickWrite(colour, "TGA", rle),
                    magickWrite(colour, "TGA", trueColour), magickWrite(withAlpha(colour), "TGA"),
                    magickWrite(grey, "TGA", [](Magick::Image& i) { i.type(MagickCore::GrayscaleType); })};
    seeds["emf"] = {emf(0.1, 0.05), emf(0.05, 0.1, true), emfSampler()};
    seeds["wmf"] = {wmf(0.1, 0.05), wmf(0.05, 0.1, true), wmfSampler()};

    // Each file once with the default compression and once with a name for its class.
    for (auto& [name, files] : seeds) {
        Seeds withOptions;
        for (size_t i = 0; i < files.size(); ++i) {
            withOptions.push_back(withOption(0, files[i]));
            withOptions.push_back(withOption(uint8_t(1 + i % 6), files[i]));
        }
        if (name == "jp2") withOptions[2][0] = withOptions[3][0] = char(0x80 | withOptions[3][0]);
        files = std::move(withOptions);
    }
    return seeds;
}

QByteArray pdf(const QByteArray& pagesObject, const QByteArray& morePages = {}) {
    QByteArray pdf = "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    pdf += "2 0 obj " + pagesObject + " endobj\n";
    pdf += morePages;
    pdf += "trailer << /Root 1 0 R >>\n%%EOF\n";
    return pdf; // no xref table: QPDF rebuilds it, which the counter must survive too
}

Seeds pdfFiles() {
    return {pdf("<< /Type /Pages /Count 1 /Kids [3 0 R] >>",
                "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >> endobj\n"),
            pdf("<< /Type /Pages /Count 3 /Kids [3 0 R 4 0 R] >>",
                "3 0 obj << /Type /Pages /Parent 2 0 R /Count 2 /Kids [5 0 R 5 0 R] >> endobj\n"
                "4 0 obj << /Type /Page /Parent 2 0 R >> endobj\n"
                "5 0 obj << /Type /Page /Parent 3 0 R >> endobj\n"),
            pdf("<< /Type /Pages /Count 0 /Kids [] >>")};
}

// A PDF as our own library writes it: an image page.
QByteArray imagePdf() {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("page.png")), pdf = dir.filePath(QStringLiteral("page.pdf"));
    const int handle = imaging::ApCreate(pdf);
    if (!fx::writeBytes(png, fx::pngBytes(fx::pattern(6, 4, 3, 8))) || imaging::ApAddImage(handle, png) != 1 ||
        imaging::ApClose(handle) != 0)
        return {};
    return fx::readBytes(pdf);
}

Seeds propertyBags() {
    PropertyBag settings;
    settings.WriteProperty(QStringLiteral("StartupFolder"), QStringLiteral("/data/scans"));
    settings.WriteProperty(QStringLiteral("SortbyNumeric"), uint8_t(1));
    settings.WriteProperty(QStringLiteral("GridWidth"), int16_t(-1200));
    settings.WriteProperty(QStringLiteral("LastRun"), int32_t(1234567));
    PropertyBag probe;
    probe.WriteProperty(QStringLiteral("Probe"), QStringLiteral("é"));
    return {settings.Contents(), probe.Contents(), PropertyBag().Contents()};
}

Seeds cloneRecords() {
    profile::PrivateProfile ini;
    ini.setValue(u"Clone", u"SourceFolder", QStringLiteral("/data/scans"));
    ini.setValue(u"Clone", u"Status", QStringLiteral("Running"));
    ini.setValue(u"Clone", u"Note", QStringLiteral(" quoted \\ \"text\" \r\n "));
    const QByteArray hand = "; written by hand\r\n[CLONE]\r\nstatus = \"Done\"\r\n\r\n[Other]\nKey=1\n";
    return {ini.toBytes(), hand};
}

Seeds cloneLists() {
    clonejob::CloneList list;
    list.EncodColor = QStringLiteral("Jpeg");
    list.EncodBW = QStringLiteral("G4");
    clonejob::AddCloneFileEntry(list, QStringLiteral("a.tif"), QStringLiteral("/in"), QStringLiteral("a.pdf"),
                                QStringLiteral("/out"));
    clonejob::AddCloneFileEntry(list, QStringLiteral("b & <c>.png"), QStringLiteral("/in/é"),
                                QStringLiteral("b.pdf"), QStringLiteral("/out/é"));
    list.files.back().status = clonejob::kStatusCompleted;
    // The list's journal: a claim, statuses on either side of a durable mark.
    using clonejob::JournalRecord;
    const clonejob::JournalHeader header = clonejob::journalHeaderFor(clonejob::cloneListXml(list), 2, "boot");
    QByteArray journal = clonejob::journalHeaderBytes(header);
    for (const JournalRecord& r : {JournalRecord::claim(0, 2), JournalRecord::status(0, clonejob::kStatusCompleted),
                                   JournalRecord::durable(2), JournalRecord::status(1, clonejob::kStatusError, true)})
        journal += clonejob::journalRecordBytes(header, r);
    return {clonejob::cloneListXml(list), clonejob::cloneListXml({}), journal, journal + QByteArray(64, '\0')};
}

Seeds cursorFiles(const QString& sourceDir) {
    using namespace fixtures;
    const QByteArray red = iconFile(square(8, qRgb(255, 0, 0)), {1, 2}, 4);
    const QByteArray blue = iconFile(square(8, qRgb(0, 0, 255)), {3, 3}, 32, 1, {{4, 4}});
    AniPlan plain;
    plain.icons = {red, blue};
    AniPlan sequenced;
    sequenced.icons = {red, blue};
    sequenced.steps = 3;
    sequenced.flags = AniFile::kIconFrames | AniFile::kSequence;
    sequenced.seq = QList<quint32>{0, 1, 0};
    sequenced.rates = QList<quint32>{5, 10, 5};
    QFile own(sourceDir + QStringLiteral("/assets/cursor/hourglass.ani"));
    return {red, iconFile(square(4, qRgb(0, 255, 0), 1), {0, 0}, 1), aniFile(plain), aniFile(sequenced),
            own.open(QIODevice::ReadOnly) ? own.readAll() : QByteArray()};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source folder> <output folder>\n", argv[0]);
        return 2;
    }
    fuzz::startGuiApplication();
    std::map<std::string, Seeds> all = imageSeeds();
    all["tiffpagecount"] = tiffFiles();
    all["pdfpagecount"] = pdfFiles();
    all["pdfinfo"] = pdfFiles();
    all["pdfinfo"][0].replace("/Root 1 0 R", "/Root 1 0 R /Info << /Title (Scans) /Author <FEFF00E9> >>");
    all["pdfdocument"] = pdfFiles();
    all["pdfdocument"].push_back(imagePdf());
    all["pdfrender"] = all["pdfdocument"];
    all["tiffpages"] = tiffFiles();
    all["profile"] = cloneRecords();
    all["clonelist"] = cloneLists();
    all["propertybag"] = propertyBags();
    all["anicursor"] = cursorFiles(QString::fromLocal8Bit(argv[1]));

    const QString out = QString::fromLocal8Bit(argv[2]);
    for (const auto& [name, files] : all) {
        QDir dir(out + QLatin1Char('/') + QString::fromStdString(name));
        dir.removeRecursively();
        dir.mkpath(QStringLiteral("."));
        for (size_t i = 0; i < files.size(); ++i) {
            if (files[i].size() < 2) {
                std::fprintf(stderr, "seed %zu of %s could not be made\n", i, name.c_str());
                return 1;
            }
            QFile f(dir.filePath(QStringLiteral("seed-%1").arg(i, 2, 10, QLatin1Char('0'))));
            if (!f.open(QIODevice::WriteOnly) || f.write(files[i]) != files[i].size()) return 1;
        }
    }
    return 0;
}
