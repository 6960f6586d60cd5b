#pragma once

// The drawing device that WMF and EMF records are played onto: the state their records
// change (pens, brushes, fonts, colours, clipping, the current position) and the shapes,
// text and bitmaps they draw, in page pixels, with a QPainter, with hard edges as the
// records' writer's screen drew them (text keeps Qt's smoothing).
//
// Drawing costs follow what the records ask for, not the file's size: a few bytes may ask
// for a million-pixel ellipse or a bitmap stretched over the page. Everything is charged to
// a work budget before it is drawn (the pixels it covers on the page, the rows its edges
// cross, the points and glyphs handed to Qt, the pixels of bitmaps decoded), and the picture
// is refused when the budget runs out, so a picture costs the same work, and ends the same
// way, on any machine. Shapes are cut to the page first (platform/imaging/metafiles/metafilegeometry.h).

#include "platform/imaging/metafiles/metafiledib.h"
#include "platform/imaging/metafiles/metafilegeometry.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>
#include <vector>

namespace imaging::metafile {

// Points a shape may hand to Qt at once: a record claiming more is refused (a few bytes a
// point in the file become several copies of sixteen bytes a point while drawing).
constexpr qsizetype kMaxShapePoints = qsizetype(1) << 20;
// Rectangles a clip region keeps; a region of more is taken as its bounds.
constexpr int kMaxClipRects = 1 << 14;

struct Pen {
    int style = 0;         // PS_ style, join and end cap bits
    double width = 0;      // logical units
    bool cosmetic = false; // one pixel wide, whatever its width (EMF's cosmetic pens)
    QColor colour = Qt::black;
    std::vector<double>
        userDashes; // PS_USERSTYLE: dash and gap lengths (logical units, or pixels when cosmetic)
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

// Where a bitmap comes from and lands.
struct Blit {
    uint32_t rop = 0x00CC0020;             // copy the source
    double sx = 0, sy = 0, sw = 0, sh = 0; // source rectangle, bitmap pixels
    double dx = 0, dy = 0, dw = 0, dh = 0; // destination, logical units
    bool fromBottom = false;               // the source y counts up from the bottom row
    DibAlpha alpha;
    int constantAlpha = 255;
};

// Saved drawing states, as SaveDC and RestoreDC keep them (T holds the device's state as
// `dc`): no more than a few thousand are held, the rest only counted, so that restoring still
// goes back the right number of levels; and clip regions of a few million rectangles in all,
// the bounds of any more standing in for them.
template <class T> class SavedStates {
public:
    void save(T state) {
        if (m_saved.size() >= kMax) {
            ++m_dropped;
            return;
        }
        QRegion& clip = state.dc.clip;
        if (m_clipRects + clip.rectCount() > kMaxClipRectsHeld) clip = QRegion(clip.boundingRect());
        m_clipRects += clip.rectCount();
        m_saved.push_back(std::move(state));
    }
    // Restores `state` to the level `saved` names: negative counts back from the last one
    // saved, positive from the first. False (state kept) for a level that is not there.
    bool restore(int saved, T& state) {
        const int depth = int(m_saved.size()) + m_dropped;
        const int target = saved < 0 ? depth + saved : saved - 1; // the state to return to
        if (target < 0 || target >= depth) return false;
        const int dropped = std::min(m_dropped, depth - target);
        m_dropped -= dropped;
        const int pops = depth - target - dropped;
        if (pops <= 0) return false;
        state = m_saved[m_saved.size() - size_t(pops)];
        for (size_t i = m_saved.size() - size_t(pops); i < m_saved.size(); ++i)
            m_clipRects -= m_saved[i].dc.clip.rectCount();
        m_saved.resize(m_saved.size() - size_t(pops));
        return true;
    }

private:
    static constexpr size_t kMax = 4096;
    static constexpr qint64 kMaxClipRectsHeld = qint64(1) << 22;
    std::vector<T> m_saved;
    int m_dropped = 0;
    qint64 m_clipRects = 0;
};

class Device {
public:
    // Draws onto `page` at `dpi`. `kind` names the picture in messages ("WMF", "EMF").
    Device(QImage& page, double dpi, qint64 workLimit, QString kind);
    virtual ~Device() = default;
    qint64 work() const { return m_work; }

protected:
    struct DrawState {
        Pen pen;
        Brush brush;
        Font font;
        QColor textColour = Qt::black, backgroundColour = Qt::white;
        int backgroundMode = 2; // opaque
        int fillMode = 1;       // alternate
        int rop2 = 13;          // copy the pen
        int textAlign = 0;
        bool clockwiseArcs = false;
        QPointF position; // logical units
        bool clipped = false;
        QRegion clip; // page pixels
    };

    // metafiledevice.cpp: budget, mapping, clipping.
    bool begin(QString& error);
    int finish(int code, QString& error);
    // Adds `units` of work; false, with the picture refused, once the budget is spent.
    bool charge(qint64 units);
    void fail(int code, const QString& error);
    bool failed() const { return m_code != 0; }
    // Logical units to page pixels, and the angle (degrees, clockwise on the page) text turns by.
    void setMapping(const QTransform& toPage, double textAngle = 0);
    QPointF map(double x, double y) const { return m_toPage.map(QPointF(x, y)); }
    QPointF map(QPointF p) const { return m_toPage.map(p); }
    QPolygonF map(const QPolygonF& logical) const { return m_toPage.map(logical); }
    // The logical rectangle's corners on the page.
    QPolygonF mapRect(const QRectF& logical) const { return m_toPage.map(QPolygonF(logical.normalized())); }
    // The part of the ellipse inside the logical `box` from `start` through `sweep`, on the page.
    QPolygonF mapArc(const QRectF& box, double start, double sweep) const;
    // The logical rectangle with its corners rounded by ellipses `rx` x `ry` units, on the page.
    QPolygonF mapRoundedRect(const QRectF& box, double rx, double ry) const {
        return m_toPage.map(roundedRect(box, rx, ry, m_scale));
    }
    double mapWidth(double logical) const { return std::fabs(logical * m_sx); }
    double scaleX() const { return m_sx; }
    double scaleY() const { return m_sy; }
    // Whether the mapping keeps page axes apart (no turn or shear).
    bool upright() const { return m_toPage.m12() == 0 && m_toPage.m21() == 0; }
    void clipTo(const QRegion& region);
    // Combines `region` (page pixels) with the clip: 1 and, 2 or, 3 xor, 4 diff, 5 copy.
    void combineClip(const QRegion& region, int mode);
    void resetClip();
    // After a restored state, the painter follows it again.
    void stateChanged() {
        m_fontReady = false;
        m_clipApplied = false;
    }

    // metafilepaint.cpp: drawing, in page pixels. Each is charged first, and draws nothing
    // once the budget is spent.
    void drawShape(QPolygonF polygon, bool fill);
    void drawLine(const QPolygonF& line);
    void drawPolygons(const std::vector<QPolygonF>& polygons, bool fill, bool outline);
    void drawLines(const std::vector<QPolygonF>& lines);
    // The ellipse arc (0), pie (1) or chord (2) inside the logical `box`, from the ray
    // through `start` to the ray through `end` (logical units).
    void drawArc(const QRectF& box, QPointF start, QPointF end, int kind);
    void patBlt(const QPolygonF& area, uint32_t rop);
    void fillRegion(const QRegion& area, const Brush& brush, bool invert = false);
    void setPixel(QPointF at, const QColor& colour);
    void drawBitmap(const Dib& dib, const Blit& b);
    // Text at the logical `reference`; `dx`: each character's advance, logical units;
    // `box`: the opaque or clipping rectangle on the page.
    void drawText(QPointF reference, const QString& text, const std::vector<double>& dx, int options,
                  const QRectF& box);
    // The area inside the polygons (page pixels) under the fill mode, as a clip region: its
    // bounds when it would take more rectangles than a clip may hold.
    QRegion regionOf(const std::vector<QPolygonF>& polygons);
    // A rectangle filled from one colour to another, across (horizontal) or down.
    void fillGradient(const QRectF& logical, const QColor& from, const QColor& to, bool horizontal);
    QString decodeText(const QByteArray& bytes) const;

    QImage& m_page;
    QPainter m_painter;
    double m_dpi;
    DrawState m_dc;

private:
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
    void blend(uint32_t rop);
    QFont qfont();

    QString m_kind;
    qint64 m_work = 0;
    qint64 m_workLimit;
    int m_code = 0;
    QString m_error;
    QTransform m_toPage;
    double m_sx = 1, m_sy = 1, m_scale = 1, m_textAngle = 0;
    bool m_clipApplied = false;
    bool m_fontReady = false;
    QFont m_font;
    QColor m_ropColour; // the pen's and brush's colour under the black and white modes
};

} // namespace imaging::metafile
