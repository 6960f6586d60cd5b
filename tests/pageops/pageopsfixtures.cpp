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
