#pragma once

// Compression names and colour classes: which name applies to a page, given the depth the
// page is stored with, and whether the name fits that class at all.

#include <QString>

namespace imaging {

enum class Compression { Default, Lzw, Zip, Packbits, Jpeg, G3, G4 };

// ASCII case is ignored; an unknown name is Default.
Compression compressionFromName(const QString& name);

// 1 black-and-white, 2 greyscale (8 bits: grey or an 8-bit palette), 3 colour (24 bits);
// 0 for every other depth, which always gets the default.
int colourClassOfDepth(int storedBitsPerPixel);

// The names chosen for the three classes of one document.
class CompressionChoice {
public:
    void set(int colourClass, Compression c) {
        if (colourClass >= 1 && colourClass <= 3) m_byClass[colourClass] = c;
    }
    // What a page stored with this depth gets: its class's name when the name fits the
    // class, otherwise Default.
    Compression forDepth(int storedBitsPerPixel) const;

private:
    Compression m_byClass[4] = {Compression::Default, Compression::Default, Compression::Default,
                                Compression::Default};
};

} // namespace imaging
