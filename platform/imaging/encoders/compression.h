#pragma once

// The compression names, in one table: the text the dialogs list and job files keep, the PDF
// filter it writes, the colour classes it is offered for and those it applies to, the encoder
// behind it and the source data it lets into the PDF unchanged. The encoder dispatch, the
// readers' pass-through decisions and the dialogs' lists all come from here; a new choice is a
// new row (and its encoder).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>
#include <vector>

namespace imaging {

struct RasterPage;
struct ImageStream;

enum class Compression { Default, Lzw, Zip, Packbits, Jpeg, G3, G4 };

// Colour classes by the codes the library's calls take; 0 is none.
constexpr int kBlackAndWhiteClass = 1, kGreyscaleClass = 2, kColourClass = 3;
constexpr unsigned classBit(int colourClass) {
    return 1u << colourClass;
}
constexpr unsigned kAllClasses =
    classBit(kBlackAndWhiteClass) | classBit(kGreyscaleClass) | classBit(kColourClass);

// How a source file already holds its picture, when a reader can copy it into the PDF as it is.
enum class SourceCoding : unsigned { Dct = 1, Flate = 2, Group4 = 4 };

// What a decoded page must be for an entry's encoder; a page that is not gets Zip instead.
enum class PageNeed { Any, Bilevel, NotCmyk };

// Encodes the page's pixels into `out` and sets the stream's parameters (the table sets the
// filter). Answers an ApCode.
using PageEncoder = int (*)(RasterPage& page, ImageStream& stream, std::vector<uint8_t>& out, QString& error);

struct CompressionEntry {
    Compression id;
    const char* name;       // as the lists show it and job files keep it; "" for Default
    const char* pdfFilter;  // the /Filter it writes; "" for Default, which picks an entry per page
    unsigned offeredFor;    // classBit()s of the dialog lists that show it
    unsigned preselectedIn; // classBit()s of the lists that start on it
    unsigned appliesTo;     // classBit()s it applies to; a page of another class gets Default
    PageNeed needs;
    PageEncoder encode; // null for Default
    unsigned passes;    // SourceCoding bits taken into the PDF unchanged
};

// Every entry, Default first, then in the dialogs' order.
std::span<const CompressionEntry> compressionTable();
const CompressionEntry& compressionEntry(Compression c);

// The one rule for a name, wherever it comes from (a dialog, a job file, a caller of the
// library): ASCII case and surrounding blanks are ignored, and "" or a name that is not in the
// table (a misspelt name in a job file) is Default, the library's own choice for each page.
Compression compressionFromName(const QString& name);

// Every name that a list offers, in the lists' order.
QStringList compressionNames();

// 1 black-and-white, 2 greyscale (8 bits: grey or an 8-bit palette), 3 colour (24 bits);
// 0 for every other depth, which always gets the default.
int colourClassOfDepth(int storedBitsPerPixel);

// The entry whose encoder writes a decoded page: Default is G4 for a bilevel page and Zip for
// any other; an entry whose encoder cannot take the page gives way to Zip.
const CompressionEntry& encoderFor(Compression c, bool bilevel, bool cmyk);

// Whether a source already coded as `coding` goes into the PDF unchanged under `c`: what the
// entry passes, and for Default also what the entry it stands for on such a page passes.
bool passesThrough(Compression c, SourceCoding coding, bool bilevel);

// The names chosen for the three classes of one document.
class CompressionChoice {
public:
    // Each name looked up by compressionFromName(); "" sets none.
    static CompressionChoice fromNames(const QString& colour, const QString& grey, const QString& bw);

    void set(int colourClass, Compression c) {
        if (colourClass >= 1 && colourClass <= 3) m_byClass[colourClass] = c;
    }
    // The compression chosen for a class (Default when none or for class 0).
    Compression forClass(int colourClass) const {
        return colourClass >= 1 && colourClass <= 3 ? m_byClass[colourClass] : Compression::Default;
    }
    // What a page stored with this depth gets: its class's choice when the choice applies to
    // the class, otherwise Default.
    Compression forDepth(int storedBitsPerPixel) const;

private:
    Compression m_byClass[4] = {Compression::Default, Compression::Default, Compression::Default,
                                Compression::Default};
};

} // namespace imaging
