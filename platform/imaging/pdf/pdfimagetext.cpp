#include "platform/imaging/pdf/pdfimagetext.h"

#include <algorithm>
#include <cstdio>
#include <qpdf/QPDFObjectHandle.hh>

namespace imaging {

std::string pdfNumber(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", v);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string PdfDictText::text(const std::string& tail) const {
    std::string out = "<<";
    for (const auto& [key, value] : m_entries) {
        out += ' ';
        out += key;
        out += ' ';
        out += value;
    }
    return out + tail + " >>";
}

bool iccMatches(const QByteArray& icc, int components) {
    if (icc.size() < 132) return false;
    const QByteArray sig = icc.mid(16, 4);
    return (components == 1 && sig == "GRAY") || (components == 3 && sig == "RGB ") ||
           (components == 4 && sig == "CMYK");
}

int baseComponents(const ImageStream& s) {
    return s.model == ColourModel::Indexed ? 3 : s.components();
}

std::string deviceSpaceOf(const ImageStream& s) {
    const int n = baseComponents(s);
    return n == 1 ? "/DeviceGray" : n == 3 ? "/DeviceRGB" : "/DeviceCMYK";
}

bool usesIccProfile(const ImageStream& s, bool isMask) {
    return !isMask && iccMatches(s.icc, baseComponents(s));
}

namespace {

std::string colourSpace(const ImageStream& s, const std::string& iccRef) {
    const std::string base = iccRef.empty() ? deviceSpaceOf(s) : "[ /ICCBased " + iccRef + " ]";
    if (s.model != ColourModel::Indexed) return base;
    const size_t entries = std::max<size_t>(1, s.palette.size() / 3);
    std::string lookup(reinterpret_cast<const char*>(s.palette.data()),
                       entries * 3 <= s.palette.size() ? entries * 3 : 0);
    lookup.resize(entries * 3, '\0');
    // QPDF's own choice between a literal and a hexadecimal string.
    return "[ /Indexed " + base + " " + std::to_string(int(entries) - 1) + " " +
           QPDFObjectHandle::newString(lookup).unparse() + " ]";
}

} // namespace

PdfDictText imageDictionary(const ImageStream& s, bool isMask, const std::string& iccRef, const std::string& maskRef) {
    PdfDictText d;
    d.set("/Type", "/XObject");
    d.set("/Subtype", "/Image");
    d.set("/Width", std::to_string(s.width));
    d.set("/Height", std::to_string(s.height));
    d.set("/BitsPerComponent", std::to_string(s.bitsPerComponent));
    d.set("/ColorSpace", isMask ? "/DeviceGray" : colourSpace(s, iccRef));
    if (s.invertDecode) {
        std::string decode = "[";
        for (int i = 0; i < s.components(); ++i)
            decode += " 1 0";
        d.set("/Decode", decode + " ]");
    }
    if (!s.filter.empty()) d.set("/Filter", "/" + s.filter);
    if (!s.parms.empty()) {
        PdfDictText parms;
        for (const DecodeParm& p : s.parms)
            parms.set("/" + p.key, p.isBool ? (p.value ? "true" : "false") : std::to_string(p.value));
        d.set("/DecodeParms", parms.text());
    }
    if (!maskRef.empty()) d.set("/SMask", maskRef);
    return d;
}

std::string pageContent(const PagePlacement& place) {
    std::string content = "q ";
    for (double v : place.matrix)
        content += pdfNumber(v) + " ";
    return content + "cm /Im0 Do Q\n";
}

std::string mediaBox(const PagePlacement& place) {
    return "[ 0 0 " + pdfNumber(place.width) + " " + pdfNumber(place.height) + " ]";
}

} // namespace imaging
