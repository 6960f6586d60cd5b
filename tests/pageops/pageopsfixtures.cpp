#include "tests/pageops/pageopsfixtures.h"

#include <QDir>
#include <QFile>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace pofx {

namespace {

QPDFObjectHandle box(double w, double h, double inset = 0) {
    return QPDFObjectHandle::newArray({QPDFObjectHandle::newReal(inset, 1), QPDFObjectHandle::newReal(inset, 1),
                                       QPDFObjectHandle::newReal(w - inset, 1), QPDFObjectHandle::newReal(h - inset, 1)});
}

void readBox(QPDFObjectHandle array, double out[4]) {
    if (!array.isArray() || array.getArrayNItems() != 4) return;
    for (int i = 0; i < 4; ++i)
        out[i] = array.getArrayItem(i).getNumericValue();
}

} // namespace

bool makePdf(const QString& path, int pages, const PdfOptions& o) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        for (int i = 0; i < pages; ++i) {
            const int mark = o.firstMark + i;
            const double grey = 1.0 - std::min(mark, 20) * 0.04;
            const std::string content = std::to_string(grey) + " g 0 0 1000 1000 re f";
            QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
            page.replaceKey("/Resources", QPDFObjectHandle::newDictionary());
            // Every page is 100 + mark wide; inherited boxes are set on the tree below.
            if (!o.inheritBoxes) {
                page.replaceKey("/MediaBox", box(100 + mark, 80));
                if (o.rotate) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(o.rotate));
            }
            if (o.cropBox) page.replaceKey("/CropBox", box(100 + mark, 80, 5));
            if (o.annotation) {
                QPDFObjectHandle annot = pdf.makeIndirectObject(QPDFObjectHandle::parse(
                    "<< /Type /Annot /Subtype /Text /Rect [10 10 30 30] /Contents (note) >>"));
                page.replaceKey("/Annots", QPDFObjectHandle::newArray({annot}));
            }
            pdf.addPage(pdf.makeIndirectObject(page), false);
        }
        if (o.inheritBoxes) {
            // One MediaBox for all: the mark then lives in the content only, so give the
            // tree the first page's width and let each page keep its own via its index.
            QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
            root.replaceKey("/MediaBox", box(100 + o.firstMark, 80));
            if (o.rotate) root.replaceKey("/Rotate", QPDFObjectHandle::newInteger(o.rotate));
        }
        const QByteArray name = QFile::encodeName(path); // QPDFWriter keeps the pointer
        QPDFWriter w(pdf, name.constData());
        w.setStaticID(true);
        if (!o.userPassword.isEmpty()) {
            const QByteArray pw = o.userPassword.toUtf8();
            w.setR6EncryptionParameters(pw.constData(), "owner", true, true, true, true, true, true, qpdf_r3p_full,
                                        true);
        }
        w.write();
        return true;
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        return false;
    }
}

bool makeDrawingPdf(const QString& path, double width, double height, int rotate, bool plain) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        std::string pixels;
        for (int i = 0; i < 8 * 6 * 3; ++i)
            pixels += char(i * 37 % 256);
        QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf, pixels);
        image.replaceDict(QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Image /Width 8 /Height 6 "
                                                  "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Interpolate true >>"));
        QPDFObjectHandle resources = QPDFObjectHandle::parse(
            "<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >>"
            " /Shading << /Sh1 << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 0 200] /Extend [true true]"
            " /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0.2 0] /C1 [0 0.3 1] /N 1 >> >> >> >>");
        resources.replaceKey("/XObject", QPDFObjectHandle::parse("<< >>"));
        resources.getKey("/XObject").replaceKey("/Im1", pdf.makeIndirectObject(image));
        // Drawn in a 200 x 200 square, scaled to the page.
        const std::string edges = "0.1 0.6 0.2 rg 10 190 m 190 150 l 60 20 l h f\n"
                                  "0 0 0.8 rg 100 100 m 150 100 150 60 120 40 c 90 60 90 90 100 100 c f\n";
        const std::string content =
            std::to_string(width / 200) + " 0 0 " + std::to_string(height / 200) + " 0 0 cm\n" +
            (plain ? "0.9 0.8 0.5 rg 0 0 200 200 re f\n" + edges
                   : "q 0 0 200 200 re W n /Sh1 sh Q\n" + edges +
                         "q 70 0 0 45 20 30 cm /Im1 Do Q\n"
                         "BT /F1 13 Tf 12 100 Td (Seams must not show) Tj ET\n"
                         "0 0 0 RG 2 w 5 5 m 195 195 l S\n");
        QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", box(width, height));
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        if (rotate) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
        pdf.addPage(pdf.makeIndirectObject(page), false);
        const QByteArray name = QFile::encodeName(path);
        QPDFWriter w(pdf, name.constData());
        w.setStaticID(true);
        w.write();
        return true;
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        return false;
    }
}

struct PdfParts::Data {
    QPDF pdf;
};

PdfParts::PdfParts() : d(std::make_unique<Data>()) { d->pdf.emptyPDF(); }

PdfParts::~PdfParts() = default;

std::string PdfParts::stream(const std::string& dictionary, const std::string& data) {
    QPDFObjectHandle s = QPDFObjectHandle::newStream(&d->pdf, data);
    s.replaceDict(QPDFObjectHandle::parse(&d->pdf, dictionary));
    return s.getObjGen().unparse(' ') + " R";
}

std::string PdfParts::object(const std::string& source) {
    return d->pdf.makeIndirectObject(QPDFObjectHandle::parse(&d->pdf, source)).getObjGen().unparse(' ') + " R";
}

std::string PdfParts::image() {
    std::string pixels;
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) {
            const QRgb p = imagePixel(i, j);
            pixels += {char(qRed(p)), char(qGreen(p)), char(qBlue(p))};
        }
    return stream("<< /Type /XObject /Subtype /Image /Width 8 /Height 8 /ColorSpace /DeviceRGB /BitsPerComponent 8 >>",
                  pixels);
}

bool PdfParts::write(const QString& path, double width, double height, const std::string& content,
                     const std::string& resources, const std::string& extra) {
    try {
        QPDFObjectHandle page = QPDFObjectHandle::parse(&d->pdf, "<< /Type /Page " + extra + " >>");
        page.replaceKey("/MediaBox", box(width, height));
        page.replaceKey("/Resources", QPDFObjectHandle::parse(&d->pdf, resources));
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&d->pdf, content));
        d->pdf.addPage(d->pdf.makeIndirectObject(page), false);
        const QByteArray name = QFile::encodeName(path);
        QPDFWriter w(d->pdf, name.constData());
        w.setStaticID(true);
        w.write();
        return true;
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        return false;
    }
}

std::vector<int> pdfMarks(const QString& path, const QString& password) {
    std::vector<int> marks;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData(), password.toUtf8().constData());
        pdf.pushInheritedAttributesToPage();
        for (QPDFObjectHandle page : pdf.getAllPages()) {
            double b[4] = {};
            readBox(page.getKey("/MediaBox"), b);
            marks.push_back(int(b[2] - b[0]) - 100);
        }
    } catch (...) {
        marks.clear();
    }
    return marks;
}

PdfPage pdfPage(const QString& path, int page) {
    PdfPage p;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(QFile::encodeName(path).constData());
    // Deliberately without pushing inherited attributes: the merge must have put them on the page.
    QPDFObjectHandle o = pdf.getAllPages().at(size_t(page - 1));
    readBox(o.getKey("/MediaBox"), p.mediaBox);
    p.hasCropBox = o.getKey("/CropBox").isArray();
    readBox(o.getKey("/CropBox"), p.cropBox);
    if (o.getKey("/Rotate").isInteger()) p.rotate = int(o.getKey("/Rotate").getIntValue());
    if (o.getKey("/Annots").isArray()) p.annotations = o.getKey("/Annots").getArrayNItems();
    return p;
}

bool makeTiff(const QString& path, const std::vector<int>& marks, uint16_t compression) {
    std::vector<fx::TiffPage> pages;
    for (int mark : marks) {
        fx::TiffPage p;
        p.image = fx::pattern(40 + mark, 24, 1, 1, mark);
        p.photometric = PHOTOMETRIC_MINISWHITE;
        p.compression = compression;
        p.xres = p.yres = 200;
        pages.push_back(std::move(p));
    }
    return fx::writeTiff(path, pages);
}

std::vector<int> tiffMarks(const QString& path) {
    std::vector<int> marks;
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!t) return marks;
    do {
        uint32_t width = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
        marks.push_back(int(width) - 40);
    } while (TIFFReadDirectory(t));
    TIFFClose(t);
    return marks;
}

QByteArray rawStrips(const QString& path, int page) {
    QByteArray bytes;
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!t) return bytes;
    if (TIFFSetDirectory(t, tdir_t(page - 1))) {
        for (uint32_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
            QByteArray strip(qsizetype(TIFFGetStrileByteCount(t, s)), '\0');
            TIFFReadRawStrip(t, s, strip.data(), strip.size());
            bytes += strip;
        }
    }
    TIFFClose(t);
    return bytes;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace pofx
