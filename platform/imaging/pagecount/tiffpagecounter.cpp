#include "platform/imaging/pagecount/tiffpagecounter.h"

#include "platform/imaging/formats/tiffhandle.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <limits>

namespace {

// The offset of the first directory as the header gives it; false when the header is
// not a TIFF header.
bool firstDirectoryOffset(const QString& path, quint64& offset) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray h = f.read(16);
    if (h.size() < 8) return false;
    const bool little = h.startsWith("II");
    if (!little && !h.startsWith("MM")) return false;
    auto u16 = [&](int at) {
        return little ? qFromLittleEndian<quint16>(h.constData() + at)
                      : qFromBigEndian<quint16>(h.constData() + at);
    };
    const quint16 version = u16(2);
    if (version == 42) {
        offset = little ? qFromLittleEndian<quint32>(h.constData() + 4)
                        : qFromBigEndian<quint32>(h.constData() + 4);
        return true;
    }
    if (version == 43 && h.size() == 16 && u16(4) == 8) {
        offset = little ? qFromLittleEndian<quint64>(h.constData() + 8)
                        : qFromBigEndian<quint64>(h.constData() + 8);
        return true;
    }
    return false;
}

} // namespace

int TiffFilePageCounter::CountPages(const QString& path) {
    try {
        // Only regular files: opening a pipe or a device would wait for ever.
        if (!QFileInfo(path).isFile()) return -1;
        quint64 first = 0;
        if (!firstDirectoryOffset(path, first)) return -1;
        if (first == 0) return 0;

        // Opened the way the page reader opens files: quiet, bounded, no memory mapping.
        // "h": header only, the walk below reads every directory; "O": strip tables only on demand.
        imaging::TiffHandle tiff;
        if (!tiff.openFile(path, "rhO")) return -1;
        int pages = 0;
        for (;;) {
            if (!tiff.nextDirectory()) return -1;
            if (pages == std::numeric_limits<int>::max()) return -1;
            ++pages;
            if (TIFFLastDirectory(tiff.get())) return pages;
        }
    } catch (...) {
        return -1;
    }
}

std::unique_ptr<PageCounter> makeTiffPageCounter() {
    return std::make_unique<TiffFilePageCounter>();
}
