#pragma once

#include "gui/cursor/iconimage.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// The contents of a cursor file: an animated cursor (RIFF form "ACON": an "anih"
// header, optional "rate" and "seq " tables, a "fram" list of "icon" chunks and an
// optional "INFO" list), or a plain .cur/.ico, which becomes one unanimated picture.
struct AniFile {
    static constexpr quint32 kIconFrames = 1; // anih flag: frames are .cur/.ico pictures
    static constexpr quint32 kSequence = 2;   // anih flag: a "seq " table orders the steps

    bool animated = false;
    QList<IconImage> frames; // pictures in file order
    QList<int> sequence;     // frame shown at each step; one entry per step
    QList<int> rates;        // jiffies (1/60 s) each step is shown; one entry per step
    int defaultRate = 0;
    quint32 flags = 0;
    QString title;  // INFO "INAM"
    QString artist; // INFO "IART"

    int steps() const { return static_cast<int>(sequence.size()); }
    const IconImage& pictureAtStep(int step) const { return frames[sequence[step]]; }

    // nullopt for anything malformed: chunks running past their parent, a header
    // promising more frames or steps than the file holds, a step naming a missing
    // frame, a picture that does not decode.
    static std::optional<AniFile> parse(QByteArrayView data, const QHash<QRgb, QRgb>& paletteMap = {});
};
