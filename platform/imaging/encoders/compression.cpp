#include "platform/imaging/encoders/compression.h"

namespace imaging {

Compression compressionFromName(const QString& name) {
    static const struct {
        const char* name;
        Compression value;
    } names[] = {
        {"lzw", Compression::Lzw},   {"zip", Compression::Zip},     {"packbits", Compression::Packbits},
        {"jpeg", Compression::Jpeg}, {"ccitt-g3", Compression::G3}, {"ccitt-g4", Compression::G4},
    };
    const QString trimmed = name.trimmed();
    for (const auto& n : names)
        if (trimmed.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) return n.value;
    return Compression::Default;
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

Compression CompressionChoice::forDepth(int storedBitsPerPixel) const {
    const int cls = colourClassOfDepth(storedBitsPerPixel);
    const Compression c = m_byClass[cls];
    switch (c) {
    case Compression::Jpeg:
        return cls == 1 ? Compression::Default : c;
    case Compression::G3:
    case Compression::G4:
        return cls == 1 ? c : Compression::Default;
    default:
        return c;
    }
}

} // namespace imaging
