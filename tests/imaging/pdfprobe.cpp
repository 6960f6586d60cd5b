#include "tests/imaging/pdfprobe.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace probe {

namespace {

ImageInfo describe(QPDFObjectHandle image) {
    ImageInfo info;
    if (!image.isStream()) return info;
    info.present = true;
    QPDFObjectHandle dict = image.getDict();
    if (dict.getKey("/Filter").isName()) info.filter = dict.getKey("/Filter").getName();
    QPDFObjectHandle parms = dict.getKey("/DecodeParms");
    if (parms.isDictionary())
        for (const std::string& key : parms.getKeys())
            info.parms[key] = parms.getKey(key).unparse();
    QPDFObjectHandle cs = dict.getKey("/ColorSpace");
    if (cs.isArray() && cs.getArrayNItems() > 1 && cs.getArrayItem(1).isStream())
        info.colourSpace = "[" + cs.getArrayItem(0).unparse() +
                           " stream N=" + cs.getArrayItem(1).getDict().getKey("/N").unparse() + "]";
    else if (cs.isArray() && cs.getArrayItem(0).unparse() == "/Indexed")
        info.colourSpace =
            "[/Indexed " +
            (cs.getArrayItem(1).isArray() ? std::string("[/ICCBased]") : cs.getArrayItem(1).unparse()) + " " +
            cs.getArrayItem(2).unparse() + "]";
    else if (!cs.isNull())
        info.colourSpace = cs.unparse();
    info.width = dict.getKey("/Width").getIntValueAsInt();
    info.height = dict.getKey("/Height").getIntValueAsInt();
    info.bpc = dict.getKey("/BitsPerComponent").isInteger()
                   ? dict.getKey("/BitsPerComponent").getIntValueAsInt()
                   : 0;
    if (dict.hasKey("/Decode")) info.decode = dict.getKey("/Decode").unparse();
    auto raw = image.getRawStreamData();
    info.raw = QByteArray(reinterpret_cast<const char*>(raw->getBuffer()), qsizetype(raw->getSize()));
    try {
        auto data = image.getStreamData(qpdf_dl_specialized);
        info.decoded =
            QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
    } catch (const std::exception&) {
    }
    return info;
}

bool run(const QString& program, const QStringList& args, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000)) return false;
    if (output) *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

PdfInfo inspect(const QString& pdfPath) {
    PdfInfo out;
    try {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(pdfPath).constData());
        out.version = pdf.getPDFVersion();
        for (QPDFObjectHandle page : pdf.getAllPages()) {
            PageInfo p;
            QPDFObjectHandle box = page.getKey("/MediaBox");
            for (int i = 0; i < 4 && i < box.getArrayNItems(); ++i)
                p.mediaBox[i] = box.getArrayItem(i).getNumericValue();
            if (page.getKey("/Rotate").isInteger()) p.rotate = page.getKey("/Rotate").getIntValueAsInt();
            QPDFObjectHandle contents = page.getKey("/Contents");
            if (contents.isStream()) {
                auto data = contents.getStreamData();
                p.content.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            }
            QPDFObjectHandle xobjects = page.getKey("/Resources").getKey("/XObject");
            if (xobjects.isDictionary() && xobjects.hasKey("/Im0")) {
                QPDFObjectHandle image = xobjects.getKey("/Im0");
                p.image = describe(image);
                p.softMask = describe(image.getDict().getKey("/SMask"));
            }
            out.pages.push_back(std::move(p));
        }
        out.ok = true;
    } catch (const std::exception&) {
        out.ok = false;
    }
    return out;
}

std::vector<QImage> extractImages(const QString& pdfPath, int page) {
    QTemporaryDir dir;
    const QString prefix = dir.path() + QStringLiteral("/img");
    std::vector<QImage> images;
    if (!run(QStringLiteral("pdfimages"),
             {QStringLiteral("-png"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
              QString::number(page), pdfPath, prefix}))
        return images;
    QStringList files = QDir(dir.path()).entryList({QStringLiteral("img-*.png")}, QDir::Files, QDir::Name);
    for (const QString& f : files)
        images.push_back(QImage(dir.path() + QLatin1Char('/') + f));
    return images;
}

QImage render(const QString& pdfPath, int page, double dpi) {
    QTemporaryDir dir;
    const QString prefix = dir.path() + QStringLiteral("/page");
    if (!run(QStringLiteral("pdftocairo"),
             {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
              QString::number(page), QStringLiteral("-l"), QString::number(page),
              QStringLiteral("-singlefile"), pdfPath, prefix}))
        return {};
    return QImage(prefix + QStringLiteral(".png"));
}

fx::Image fromQImage(const QImage& source, int channels, int bits) {
    fx::Image out{source.width(), source.height(), channels, bits, {}};
    out.data.assign(out.rowBytes() * size_t(out.height), 0);
    if (bits == 16) {
        const QImage im =
            source.convertToFormat(channels == 1 ? QImage::Format_Grayscale16 : QImage::Format_RGBX64);
        for (int y = 0; y < im.height(); ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(im.constScanLine(y));
            for (int x = 0; x < im.width(); ++x)
                for (int c = 0; c < channels; ++c) {
                    const uint16_t v = channels == 1 ? row[x] : row[4 * x + c];
                    const size_t i =
                        (size_t(y) * size_t(im.width()) + size_t(x)) * size_t(channels) + size_t(c);
                    out.data[2 * i] = uint8_t(v >> 8);
                    out.data[2 * i + 1] = uint8_t(v);
                }
        }
        return out;
    }
    const QImage im =
        source.convertToFormat(channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    for (int y = 0; y < im.height(); ++y) {
        const uchar* row = im.constScanLine(y);
        uint8_t* dst = out.data.data() + size_t(y) * out.rowBytes();
        for (int x = 0; x < im.width(); ++x) {
            if (bits == 1) {
                if (row[x] >= 128) dst[x / 8] |= uint8_t(0x80 >> (x % 8));
            } else {
                for (int c = 0; c < channels; ++c)
                    dst[size_t(x) * size_t(channels) + size_t(c)] =
                        row[size_t(x) * size_t(channels) + size_t(c)];
            }
        }
    }
    return out;
}

double psnr(const fx::Image& a, const fx::Image& b) {
    if (a.data.size() != b.data.size() || a.data.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.data.size(); ++i) {
        const double d = double(a.data[i]) - double(b.data[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.data.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

bool qpdfCheck(const QString& pdfPath, QString* output) {
    return run(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdfPath}, output);
}

} // namespace probe
