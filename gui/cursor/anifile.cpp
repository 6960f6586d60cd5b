#include "gui/cursor/anifile.h"

#include <QtEndian>

namespace {

// Limits that keep a hostile file from making us decode gigabytes out of a few
// compressed bytes: no real cursor comes near them.
constexpr qint64 kMaxPixels = 16LL << 20;
constexpr quint32 kMaxSteps = 1U << 16;

quint32 le32(QByteArrayView d, qsizetype at) {
    return qFromLittleEndian<quint32>(d.data() + at);
}

// One chunk: four-character id and its data, already checked to lie inside its parent.
struct Chunk {
    QByteArrayView id;
    QByteArrayView data;
};

// Splits the body of a RIFF list into chunks; nullopt when one claims more bytes
// than its parent has. The pad byte after an odd-sized chunk may be missing at the end.
std::optional<QList<Chunk>> chunks(QByteArrayView body) {
    QList<Chunk> out;
    qsizetype at = 0;
    while (body.size() - at >= 8) {
        const quint32 size = le32(body, at + 4);
        if (size > static_cast<quint64>(body.size() - at - 8)) return std::nullopt;
        out.append({body.sliced(at, 4), body.sliced(at + 8, size)});
        at += 8 + static_cast<qsizetype>(size) + (size & 1);
    }
    return out;
}

QList<quint32> table(QByteArrayView data) {
    QList<quint32> values;
    values.reserve(data.size() / 4);
    for (qsizetype at = 0; at + 4 <= data.size(); at += 4)
        values.append(le32(data, at));
    return values;
}

QString zeroTerminated(QByteArrayView data) {
    const qsizetype end = data.indexOf('\0');
    return QString::fromLatin1(end < 0 ? data : data.first(end));
}

} // namespace

std::optional<AniFile> AniFile::parse(QByteArrayView data, const QHash<QRgb, QRgb>& paletteMap) {
    if (data.size() < 12 || data.first(4) != "RIFF") {
        // Not animated: a plain cursor or icon is one picture shown for ever.
        auto picture = IconImage::read(data, 32, paletteMap);
        if (!picture) return std::nullopt;
        AniFile plain;
        plain.frames = {*picture};
        plain.sequence = {0};
        plain.rates = {0};
        return plain;
    }
    if (data.sliced(8, 4) != "ACON") return std::nullopt;
    // A RIFF size beyond the end of the data is read as "up to the end"; the chunk
    // checks below still refuse anything cut short.
    const quint64 riffEnd = 8ULL + le32(data, 4);
    if (riffEnd < 12) return std::nullopt;
    const QByteArrayView body =
        data.sliced(12, static_cast<qsizetype>(qMin<quint64>(riffEnd, data.size())) - 12);
    const auto top = chunks(body);
    if (!top) return std::nullopt;

    AniFile ani;
    ani.animated = true;
    bool haveHeader = false;
    quint32 frameTotal = 0, stepTotal = 0;
    qint64 pixels = 0;
    std::optional<QList<quint32>> rateTable, seqTable;
    for (const Chunk& c : *top) {
        if (c.id == "anih") {
            if (c.data.size() < 36) return std::nullopt;
            haveHeader = true;
            frameTotal = le32(c.data, 4);
            stepTotal = le32(c.data, 8);
            ani.defaultRate = static_cast<int>(qMin<quint32>(le32(c.data, 28), 0x7fffffff));
            ani.flags = le32(c.data, 32);
        } else if (c.id == "rate") {
            rateTable = table(c.data);
        } else if (c.id == "seq ") {
            seqTable = table(c.data);
        } else if (c.id == "LIST" && c.data.size() >= 4) {
            const auto items = chunks(c.data.sliced(4));
            if (!items) return std::nullopt;
            if (c.data.first(4) == "fram") {
                for (const Chunk& item : *items) {
                    if (item.id != "icon") continue;
                    // Only as many pictures as the header announces are kept.
                    if (haveHeader && static_cast<quint32>(ani.frames.size()) >= frameTotal) break;
                    auto picture = IconImage::read(item.data, 32, paletteMap);
                    if (!picture) return std::nullopt;
                    pixels += static_cast<qint64>(picture->image.width()) * picture->image.height();
                    if (pixels > kMaxPixels) return std::nullopt;
                    ani.frames.append(*picture);
                }
            } else if (c.data.first(4) == "INFO") {
                for (const Chunk& item : *items) {
                    if (item.id == "INAM")
                        ani.title = zeroTerminated(item.data);
                    else if (item.id == "IART")
                        ani.artist = zeroTerminated(item.data);
                }
            }
        }
    }

    // Frames made of raw bitmaps instead of cursor pictures are not supported.
    if (!haveHeader || !(ani.flags & kIconFrames) || frameTotal < 1 || stepTotal < 1 || stepTotal > kMaxSteps)
        return std::nullopt;
    if (static_cast<quint32>(ani.frames.size()) < frameTotal) return std::nullopt;
    ani.frames.resize(frameTotal);

    // Every step must name a frame that exists. Sizes are bounded by the tables
    // and frames actually present, never by the header's word alone.
    if (ani.flags & kSequence) {
        if (!seqTable || static_cast<quint32>(seqTable->size()) < stepTotal) return std::nullopt;
        for (quint32 i = 0; i < stepTotal; ++i) {
            if ((*seqTable)[i] >= frameTotal) return std::nullopt;
            ani.sequence.append(static_cast<int>((*seqTable)[i]));
        }
    } else {
        if (stepTotal > frameTotal) return std::nullopt;
        for (quint32 i = 0; i < stepTotal; ++i)
            ani.sequence.append(static_cast<int>(i));
    }
    // A missing or short rate table leaves the remaining steps at the default rate.
    for (quint32 i = 0; i < stepTotal; ++i) {
        const bool fromTable = rateTable && i < static_cast<quint32>(rateTable->size());
        ani.rates.append(fromTable ? static_cast<int>(qMin<quint32>((*rateTable)[i], 0x7fffffff))
                                   : ani.defaultRate);
    }
    return ani;
}
