#pragma once

// Plays WMF records onto a page with a QPainter, keeping the drawing state the records
// change (mapping, pens, brushes, fonts, colours, clipping, saved states) the way the
// records' writer expects it to be kept.
//
// Drawing costs follow what the records ask for, not the file's size: a few bytes may ask
// for a million-pixel ellipse or a bitmap stretched over the page. Every record is charged
// to a work budget before it is drawn (the pixels it covers on the page, the rows its edges
// cross, the points and glyphs handed to Qt, the pixels of bitmaps decoded), and the picture
// is refused when the budget runs out, so a picture costs the same work, and ends the same
// way, on any machine.

#include "platform/imaging/wmfgeometry.h"
#include "platform/imaging/wmfrecords.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <vector>

namespace imaging::wmf {

// Map modes with units of their own; the others draw the window onto the page.
double unitsPerInch(int mapMode);

// The size of a picture without a placeable header: its window extent as the records set it
// before they draw, in the units of the map mode then chosen (a twip for the map modes
// without units of their own). ApCorrupt when the records draw before setting a window.
int windowSizeInches(RecordReader& records, QSizeF& inches, QPointF& origin, QSizeF& extent, QString& error);

class Player {
public:
    // Draws onto `page` at `dpi`, with `window` (logical units) spanning the page until the
    // records set a window of their own.
    Player(QImage& page, double dpi, const QRectF& window, int objects, qint64 workLimit);

    // Plays every record. ApOk, or a code with `error` set: ApOverLimits when the picture
    // asks for more work or memory than it may, ApCorrupt for records the file cannot hold.
    int play(RecordReader& records, QString& error);
    qint64 work() const { return m_work; }

private:
    struct Pen {
        int style = 0;
        double width = 0; // logical units
        QColor colour = Qt::black;
    };
    struct Brush {
        int style = 0; // 0 solid, 1 none, 2 hatched, 3 pattern
        int hatch = 0;
        QColor colour = Qt::white;
        QImage pattern;
    };
    struct Font {
        int height = 0, width = 0, escapement = 0, weight = 400, charset = 0;
        bool italic = false, underline = false, strikeOut = false;
        QString face;
    };
    struct Object {
        enum class Kind { Empty, Pen, Brush, Font, Region, Other } kind = Kind::Empty;
        Pen pen;
        Brush brush;
        Font font;
        std::vector<QRect> region; // logical units
        qint64 bytes = 0;
    };
    struct State {
        int mapMode = 1;
        QPointF windowOrg, windowExt, viewportOrg, viewportExt;
        bool viewportExtSet = false;
        Pen pen;
        Brush brush;
        Font font;
        QColor textColour = Qt::black, backgroundColour = Qt::white;
        int backgroundMode = 2; // opaque
        int fillMode = 1;       // alternate
        int rop2 = 13;          // copy the pen
        int textAlign = 0;
        QPointF position; // logical units
        bool clipped = false;
        QRegion clip; // page pixels
    };

    // wmfplayer.cpp: state, objects, mapping.
    bool record(const Record& r);
    void updateMapping();
    QPointF map(double x, double y) const { return {m_ox + x * m_sx, m_oy + y * m_sy}; }
    QPointF map(const Record& r, int word) const { return map(r.s16(word + 1), r.s16(word)); } // y then x
    QRectF mapRect(const Record& r, int word) const; // bottom, right, top, left
    double mapWidth(double logical) const;
    void createObject(Object object);
    Object* objectAt(int index);
    bool charge(qint64 units);
    void clipTo(const QRegion& region);
    QRegion regionOnPage(const std::vector<QRect>& rects) const;
    void restoreState(int saved);

    // wmfpaint.cpp: drawing.
    QRectF reach() const;
    QRectF visible() const;
    void applyClip();
    bool prepareRop();
    double penWidth() const;
    QPen qpen() const;
    qint64 brushWork(qint64 pixels) const;
    void fillShape(const QPainterPath& path, const Brush& brush);
    bool strokeWork(const std::vector<QPolygonF>& lines, bool closed);
    void stroke(const std::vector<QPolygonF>& lines, bool closed);
    void drawShape(QPolygonF polygon, bool fill);
    void drawLine(const QPolygonF& line);
    void drawPolyPolygon(const Record& r);
    void drawArc(const Record& r, int kind);
    void drawRect(const QRectF& rect, bool rounded, double rx, double ry);
    void patBlt(const QRectF& rect, uint32_t rop);
    struct Blit {
        uint32_t rop = 0x00CC0020; // copy the source
        bool paletteIndices = false;
        double sx = 0, sy = 0, sw = 0, sh = 0; // source rectangle, bitmap pixels
        double dx = 0, dy = 0, dw = 0, dh = 0; // destination, logical units
        int dibAt = 0;                         // byte of the bitmap in the record
        bool fromBottom = false;               // the source y counts up from the bottom row
    };
    void drawBitmap(const Record& r, const Blit& b);
    void blend(uint32_t rop);
    void drawText(QPointF reference, const QByteArray& bytes, const std::vector<int>& dx, int options,
                  const QRectF& box);
    QFont qfont();
    QString decodeText(const QByteArray& bytes) const;

    QImage& m_page;
    QPainter m_painter;
    double m_dpi;
    State m_state;
    std::vector<State> m_saved;
    int m_savesDropped = 0;
    std::vector<Object> m_objects;
    qint64 m_objectBytes = 0;
    qint64 m_work = 0;
    qint64 m_workLimit;
    int m_code = 0;
    QString m_error;
    double m_sx = 1, m_sy = 1, m_ox = 0, m_oy = 0;
    bool m_clipApplied = false;
    bool m_fontReady = false;
    QFont m_font;
    QColor m_ropColour; // the pen's and brush's colour under the black and white modes
};

} // namespace imaging::wmf
