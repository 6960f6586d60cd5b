#pragma once

// Plays EMF records onto the metafile device (platform/imaging/metafiles/metafiledevice.h), as their
// writer's screen would: the mapping from logical units through the world transform, the
// window and the viewport to the reference device and on to the page; objects, paths, clip
// regions and saved states. Every record is charged to the device's work budget.
//
// EMF+ records (inside comments) are not drawn: a picture that holds only EMF+ drawing, with
// no GDI records standing in for it, is refused as such.

#include "platform/imaging/metafiles/metafiledevice.h"
#include "platform/imaging/metafiles/metafileheader.h"
#include "platform/imaging/metafiles/metafilerecords.h"

#include <vector>

namespace imaging::emf {

using metafile::Record;
using metafile::RecordReader;

// A COLORREF at byte `at`: red, green, blue, then a flag byte.
inline QColor colourAt(const Record& r, int at) {
    const uint32_t v = r.u32At(at);
    return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF));
}

class Player : public metafile::Device {
public:
    // Draws onto `page` at `dpi`: the header's frame spans the page.
    Player(QImage& page, double dpi, const EmfHeader& header, int objects, qint64 workLimit);

    // Plays every record after the header. ApOk, or a code with `error` set: ApOverLimits
    // when the picture asks for more work or memory than it may, ApCorrupt for records the
    // file cannot hold, ApUnsupported for a picture drawn only by EMF+ records.
    int play(RecordReader& records, QString& error);

private:
    struct Object {
        enum class Kind { Empty, Pen, Brush, Font, Other } kind = Kind::Empty;
        metafile::Pen pen;
        metafile::Brush brush;
        metafile::Font font;
        qint64 bytes = 0;
    };
    struct Mapping {
        int mapMode = 1;
        QPointF windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
        QTransform world;
    };
    struct Saved {
        DrawState dc;
        Mapping mapping;
    };
    // A figure of the path being recorded, in page pixels.
    struct Figure {
        QPolygonF points;
        bool closed = false;
    };

    // emfplayer.cpp: state, objects, mapping, clipping.
    bool record(const Record& r);
    void updateMapping();
    void createObject(uint32_t index, Object object);
    void selectObject(uint32_t index);
    void deleteObject(uint32_t index);
    // The region data at byte `at` of the record (`bytes` long), in page pixels.
    QRegion regionAt(const Record& r, int at, qint64 bytes);
    void emfPlusComment(const Record& r);
    bool drawsNow(uint32_t type) const;
    QPointF pointAt(const Record& r, int at, bool small) const;
    QRectF rectAt(const Record& r, int at) const;

    // emfdraw.cpp: shapes, paths, text and bitmaps.
    bool drawPoints(const Record& r, bool small);
    bool drawPolyPoints(const Record& r, bool small);
    bool drawPolyDraw(const Record& r, bool small);
    void addFigure(QPolygonF points, bool closed);
    void extendFigure(const QPolygonF& points);
    bool pathOp(const Record& r);
    void drawClosed(QPolygonF points);
    void drawOpen(const QPolygonF& points);
    bool textBox(const QRectF& logical, int options, QRectF& box) const;
    void drawText(const Record& r, bool wide);
    void drawSmallText(const Record& r);
    void drawBitmap(const Record& r);
    void fillGradient(const Record& r);
    void createPatternBrush(const Record& r);
    void createExtPen(const Record& r);

    EmfHeader m_header;
    QTransform m_deviceToPage;
    Mapping m_mapping;
    metafile::SavedStates<Saved> m_saved;
    std::vector<Object> m_objects;
    qint64 m_objectBytes = 0;
    bool m_inPath = false;
    std::vector<Figure> m_path;
    qsizetype m_pathPoints = 0;
    bool m_plusOnly = false;    // EMF+ records draw the picture; GDI records only after GetDC
    bool m_gdiAllowed = true;   // the GDI records that follow are drawn
    bool m_plusDrawing = false; // an EMF+ drawing record was met
};

} // namespace imaging::emf
