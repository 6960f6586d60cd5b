#pragma once

// Plays WMF records onto the metafile device (platform/imaging/metafiles/metafiledevice.h), keeping
// the mapping, objects and saved states the records change the way the records' writer
// expects them to be kept. Every record is charged to the device's work budget.

#include "platform/imaging/metafiles/metafiledevice.h"
#include "platform/imaging/metafiles/wmfrecords.h"

#include <vector>

namespace imaging::wmf {

// Map modes with units of their own; the others draw the window onto the page.
double unitsPerInch(int mapMode);

// The size of a picture without a placeable header: its window extent as the records set it
// before they draw, in the units of the map mode then chosen (a twip for the map modes
// without units of their own). ApCorrupt when the records draw before setting a window.
int windowSizeInches(RecordReader& records, QSizeF& inches, QPointF& origin, QSizeF& extent, QString& error);

class Player : public metafile::Device {
public:
    // Draws onto `page` at `dpi`, with `window` (logical units) spanning the page until the
    // records set a window of their own.
    Player(QImage& page, double dpi, const QRectF& window, int objects, qint64 workLimit);

    // Plays every record. ApOk, or a code with `error` set: ApOverLimits when the picture
    // asks for more work or memory than it may, ApCorrupt for records the file cannot hold.
    int play(RecordReader& records, QString& error);

private:
    struct Object {
        enum class Kind { Empty, Pen, Brush, Font, Region, Other } kind = Kind::Empty;
        metafile::Pen pen;
        metafile::Brush brush;
        metafile::Font font;
        std::vector<QRect> region; // logical units
        qint64 bytes = 0;
    };
    struct Mapping {
        int mapMode = 1;
        QPointF windowOrg, windowExt, viewportOrg, viewportExt;
        bool viewportExtSet = false;
    };
    struct Saved {
        DrawState dc;
        Mapping mapping;
    };

    using Device::map;
    bool record(const Record& r);
    void updateMapping();
    QPointF map(const Record& r, int word) const { return Device::map(r.s16(word + 1), r.s16(word)); } // y then x
    QRectF logicalRect(const Record& r, int word) const; // bottom, right, top, left
    void createObject(Object object);
    Object* objectAt(int index);
    QRegion regionOnPage(const std::vector<QRect>& rects) const;
    void drawPolyPolygon(const Record& r);
    void drawArc(const Record& r, int kind);
    void drawBitmap(const Record& r, const metafile::Blit& b, int dibAt, bool paletteIndices);
    void patBlt(const Record& r, int at);

    Mapping m_mapping;
    QRectF m_window;
    metafile::SavedStates<Saved> m_saved;
    std::vector<Object> m_objects;
    qint64 m_objectBytes = 0;
};

} // namespace imaging::wmf
