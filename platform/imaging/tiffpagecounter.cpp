#include "platform/imaging/tiffpagecounter.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <tiffio.h>

#include <cstdarg>
#include <limits>
#include <memory>
#include <unordered_set>

namespace {

// libtiff reports through handlers; a counter has nobody to tell, so both stay silent
// for our handles only (the process-wide handlers are left to their owners).
int silentHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
struct TiffDeleter {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

// The offset of the first directory as the header gives it; false when the header is
// not a TIFF header.
bool firstDirectoryOffset(const QString& path, quint64& offset) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray h = f.read(16);
    if (h.size() < 8)
        return false;
    const bool little = h.startsWith("II");
    if (!little && !h.startsWith("MM"))
        return false;
    auto u16 = [&](int at) {
        return little ? qFromLittleEndian<quint16>(h.constData() + at) : qFromBigEndian<quint16>(h.constData() + at);
    };
    const quint16 version = u16(2);
    if (version == 42) {
        offset = little ? qFromLittleEndian<quint32>(h.constData() + 4) : qFromBigEndian<quint32>(h.constData() + 4);
        return true;
    }
    if (version == 43 && h.size() == 16 && u16(4) == 8) {
        offset = little ? qFromLittleEndian<quint64>(h.constData() + 8) : qFromBigEndian<quint64>(h.constData() + 8);
        return true;
    }
    return false;
}

} // namespace

int TiffFilePageCounter::CountPages(const QString& path) {
    try {
        // Only regular files: opening a pipe or a device would wait for ever.
        if (!QFileInfo(path).isFile())
            return -1;
        quint64 first = 0;
        if (!firstDirectoryOffset(path, first))
            return -1;
        if (first == 0)
            return 0;

        std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
        if (!options)
            return -1;
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), silentHandler, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), silentHandler, nullptr);
        // "h": header only, we read every directory ourselves; "O": strip tables only on demand.
        std::unique_ptr<TIFF, TiffDeleter> tif(TIFFOpenExt(QFile::encodeName(path).constData(), "rhO", options.get()));
        if (!tif)
            return -1;

        std::unordered_set<quint64> seen;
        int pages = 0;
        for (;;) {
            if (!TIFFReadDirectory(tif.get()))
                return -1;
            // libtiff refuses a looping chain itself; this keeps us safe whatever it does.
            if (!seen.insert(TIFFCurrentDirOffset(tif.get())).second)
                return -1;
            if (pages == std::numeric_limits<int>::max())
                return -1;
            ++pages;
            if (TIFFLastDirectory(tif.get()))
                return pages;
        }
    } catch (...) {
        return -1;
    }
}

std::unique_ptr<PageCounter> makeTiffPageCounter() {
    return std::make_unique<TiffFilePageCounter>();
}
