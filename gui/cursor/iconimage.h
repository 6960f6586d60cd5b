#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <optional>

// One picture of a cursor or icon file, ready to draw.
struct IconImage {
    // Premultiplied ARGB; pixels the mask leaves out have alpha 0.
    QImage image;
    // Pixels that invert the background (mask set, colour not black), XORed onto
    // it; black elsewhere. Null when the picture has none.
    QImage invert;
    QPoint hotSpot;

    // Reads a .cur/.ico file (or one frame of an animated cursor) and answers the
    // picture nearest `preferredWidth`; nullopt for anything malformed. Every size
    // and offset is checked against the data, so hostile files are refused, not read
    // past. `paletteMap` replaces colour-table entries (system colour mapping).
    static std::optional<IconImage> read(QByteArrayView data, int preferredWidth = 32,
                                         const QHash<QRgb, QRgb>& paletteMap = {});
};
