#include "platform/imaging/encoders/compression.h"

#include "platform/imaging/encoders/pageencoder.h"

namespace imaging {

namespace {

constexpr unsigned kBw = classBit(kBlackAndWhiteClass), kGrey = classBit(kGreyscaleClass),
                   kColour = classBit(kColourClass);

constexpr unsigned bits(SourceCoding c) {
    return unsigned(c);
}

// The lists of the dialogs read the names in this order: colour and greyscale "Lzw", "Zip",
// "Packbits", "Jpeg"; black-and-white "Lzw", "Zip", "CCITT-G3", "CCITT-G4". Packbits applies to
// black-and-white pages too, though no list offers it there.
constexpr CompressionEntry kTable[] = {
    {Compression::Default, "", "", 0, 0, kAllClasses, PageNeed::Any, nullptr, bits(SourceCoding::Dct)},
    {Compression::Lzw, "Lzw", "LZWDecode", kAllClasses, 0, kAllClasses, PageNeed::Any, &encodeLzwPage, 0},
    {Compression::Zip, "Zip", "FlateDecode", kAllClasses, 0, kAllClasses, PageNeed::Any, &encodeZipPage,
     bits(SourceCoding::Flate)},
    {Compression::Packbits, "Packbits", "RunLengthDecode", kGrey | kColour, 0, kAllClasses, PageNeed::Any,
     &encodePackbitsPage, 0},
    // Our DCT encoder writes grey and RGB only.
    {Compression::Jpeg, "Jpeg", "DCTDecode", kGrey | kColour, kGrey | kColour, kGrey | kColour,
     PageNeed::NotCmyk, &encodeJpegPage, bits(SourceCoding::Dct)},
    {Compression::G3, "CCITT-G3", "CCITTFaxDecode", kBw, 0, kBw, PageNeed::Bilevel, &encodeG3Page, 0},
    {Compression::G4, "CCITT-G4", "CCITTFaxDecode", kBw, kBw, kBw, PageNeed::Bilevel, &encodeG4Page,
     bits(SourceCoding::Group4)},
};

} // namespace

std::span<const CompressionEntry> compressionTable() {
    return kTable;
}

const CompressionEntry& compressionEntry(Compression c) {
    for (const CompressionEntry& e : kTable)
        if (e.id == c) return e;
    return kTable[0];
}

Compression compressionFromName(const QString& name) {
    const QString trimmed = name.trimmed();
    for (const CompressionEntry& e : kTable)
        if (e.name[0] && trimmed.compare(QLatin1String(e.name), Qt::CaseInsensitive) == 0) return e.id;
    return Compression::Default;
}

QStringList compressionNames() {
    QStringList names;
    for (const CompressionEntry& e : kTable)
        if (e.offeredFor) names << QLatin1String(e.name);
    return names;
}

int colourClassOfDepth(int storedBitsPerPixel) {
    switch (storedBitsPerPixel) {
    case 1:
        return 1;
    case 8:
        return 2;
    case 24:
        return 3;
    default:
        return 0;
    }
}

const CompressionEntry& encoderFor(Compression c, bool bilevel, bool cmyk) {
    if (c == Compression::Default) c = bilevel ? Compression::G4 : Compression::Zip;
    const CompressionEntry& e = compressionEntry(c);
    const bool takesPage = e.needs == PageNeed::Any || (e.needs == PageNeed::Bilevel && bilevel) ||
                           (e.needs == PageNeed::NotCmyk && !cmyk);
    return takesPage ? e : compressionEntry(Compression::Zip);
}

bool passesThrough(Compression c, SourceCoding coding, bool bilevel) {
    if (compressionEntry(c).passes & bits(coding)) return true;
    return c == Compression::Default && (encoderFor(c, bilevel, false).passes & bits(coding));
}

CompressionChoice CompressionChoice::fromNames(const QString& colour, const QString& grey,
                                               const QString& bw) {
    CompressionChoice choice;
    choice.set(kColourClass, compressionFromName(colour));
    choice.set(kGreyscaleClass, compressionFromName(grey));
    choice.set(kBlackAndWhiteClass, compressionFromName(bw));
    return choice;
}

Compression CompressionChoice::forDepth(int storedBitsPerPixel) const {
    const int cls = colourClassOfDepth(storedBitsPerPixel);
    const Compression c = m_byClass[cls];
    return compressionEntry(c).appliesTo & classBit(cls) ? c : Compression::Default;
}

} // namespace imaging
