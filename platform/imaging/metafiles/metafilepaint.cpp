// What the metafile device draws: shapes, text and bitmaps, each cut to the page and charged
// to the work budget before Qt draws it.
#include "platform/imaging/metafiles/metafiledevice.h"

#include "platform/imaging/formats/raster.h"

#include <QFontMetricsF>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace imaging::metafile {

namespace {

constexpr qint64 kPointWork = 128;    // a point read, mapped, cut to the page and handed to Qt
constexpr double kHairline = 1.5;     // pens up to this wide are drawn one pixel wide
constexpr double kHairlineWork = 16;  // a pixel of a hairline's length
constexpr qint64 kGlyphWork = 4096;   // laying out and drawing one character
constexpr qint64 kFontWork = 1 << 20; // finding and setting up a font
constexpr double kMaxFontPixels = 16384;
constexpr qint64 kBandPixels = 2 << 20; // bitmaps are decoded and drawn in bands of this
constexpr qint64 kDashWork = 4096;      // setting up and stroking one dash of a wide pen
constexpr qsizetype kStrokeRun = 4096;  // wide pens stroke lines in runs of this many points
constexpr qint64 kFigureWork = 1024;    // a line or outline handed to Qt on its own

// Area of `r`, in pixels, as a count of work.
qint64 area(const QRectF& r) {
    return r.isValid() ? qint64(r.width() * r.height()) : 0;
}

// An edge of a shape filled row by row: the rows it spans, and how many times it counts.
struct EdgeRows {
    double top, bottom;
    int count;
};

// Work of Qt's hard-edged fill over the rows of `shown`: every row costs for each edge that
// crosses it, and more when many cross it, as the crossings are sorted and each pair makes a
// span. The count per row is exact, so a shape that crowds its edges into a few rows pays
// for those rows.
qint64 scanWork(const std::vector<EdgeRows>& edges, const QRectF& shown, qint64* spans = nullptr) {
    double low = shown.bottom(), high = shown.top(); // the rows the edges reach
    for (const EdgeRows& e : edges) {
        low = std::min(low, std::min(e.top, e.bottom));
        high = std::max(high, std::max(e.top, e.bottom));
    }
    low = std::max(low, shown.top());
    high = std::min(high, shown.bottom());
    if (edges.empty() || high < low) return 0;
    const int top = int(std::floor(low)), rows = int(std::ceil(high)) - top + 1;
    std::vector<qint64> starts(size_t(rows) + 1, 0);
    for (const EdgeRows& e : edges) {
        const double a = std::min(e.top, e.bottom) - top, b = std::max(e.top, e.bottom) - top;
        if (b < 0 || a >= rows) continue;
        starts[size_t(std::clamp(int(std::floor(a)), 0, rows))] += e.count;
        starts[size_t(std::clamp(int(std::floor(b)) + 1, 0, rows))] -= e.count;
    }
    qint64 work = 0, crossing = 0, pairs = 0;
    for (int y = 0; y < rows; ++y) {
        crossing += starts[size_t(y)];
        work += 8 * crossing + crossing * crossing;
        pairs += crossing / 2;
    }
    if (spans) *spans = pairs;
    return work;
}

// Pixels each unit of a standard pattern stands for: patterns are drawn as a screen shows them.
double screenPixel(double dpi) {
    return std::max(1.0, dpi / 96);
}

// Text bytes in the character set of the font.
const char* codecFor(int charset) {
    static const std::pair<int, const char*> codecs[] = {
        {77, "macintosh"},     {128, "Shift_JIS"},    {129, "windows-949"},  {134, "GBK"},
        {136, "Big5"},         {161, "windows-1253"}, {162, "windows-1254"}, {163, "windows-1258"},
        {177, "windows-1255"}, {178, "windows-1256"}, {186, "windows-1257"}, {204, "windows-1251"},
        {222, "windows-874"},  {238, "windows-1250"}, {255, "IBM437"}};
    for (const auto& [set, name] : codecs)
        if (set == charset) return name;
    return "windows-1252";
}

} // namespace

QRectF Device::visible() const {
    const QRectF page(0, 0, m_page.width(), m_page.height());
    return m_dc.clipped ? page.intersected(QRectF(m_dc.clip.boundingRect())) : page;
}

// The rectangle shapes are cut to: the visible part, widened past the reach of the widest
// pen and its mitred corners, so no cut edge shows.
QRectF Device::reach() const {
    const double margin = 2 * ((m_dc.pen.style & 0x0F) == 5 ? 0 : penWidth()) + 4;
    return visible().adjusted(-margin, -margin, margin, margin);
}

void Device::applyClip() {
    if (m_clipApplied) return;
    // Never clipping switched off: Qt 6.4 then ignores the next clip made of several rectangles.
    if (m_dc.clipped)
        m_painter.setClipRegion(m_dc.clip);
    else
        m_painter.setClipRect(QRect(0, 0, m_page.width(), m_page.height()));
    m_clipApplied = true;
}

// Sets the painter up for the mix of pen and brush with the page; false when nothing is drawn.
bool Device::prepareRop() {
    m_ropColour = QColor();
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (m_dc.rop2) {
    case 1:
        m_ropColour = Qt::black;
        break;
    case 16:
        m_ropColour = Qt::white;
        break;
    case 6:
        mode = QPainter::RasterOp_NotDestination;
        break;
    case 7:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case 9:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case 15:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case 11:
        return false;
    default:
        break;
    }
    m_painter.setCompositionMode(mode);
    return true;
}

// The pen's width on the page: at least a pixel, at most enough to cover the page.
double Device::penWidth() const {
    if (m_dc.pen.cosmetic) return 1;
    return std::min(std::max(1.0, mapWidth(m_dc.pen.width)), 2.0 * (m_page.width() + m_page.height()));
}

QPen Device::qpen() const {
    const Pen& p = m_dc.pen;
    const int style = p.style & 0x0F;
    if (style == 5) return Qt::NoPen;
    const double width = penWidth();
    QPen pen(m_ropColour.isValid() ? m_ropColour : p.colour, width <= kHairline ? 1.0 : width);
    pen.setCosmetic(width <= kHairline); // Qt's own fast path for lines a pixel wide
    pen.setCapStyle((p.style & 0x0F00) == 0x0100   ? Qt::SquareCap
                    : (p.style & 0x0F00) == 0x0200 ? Qt::FlatCap
                                                   : Qt::RoundCap);
    pen.setJoinStyle((p.style & 0xF000) == 0x1000   ? Qt::BevelJoin
                     : (p.style & 0xF000) == 0x2000 ? Qt::MiterJoin
                                                    : Qt::RoundJoin);
    // Dashes in pixels, at least one pixel each so that a line never holds more dashes than
    // pixels. A thin pen's standard dashes are a screen's; a wide geometric pen's follow its
    // width; other wide pens draw solid, as their writer saw them.
    QList<qreal> pattern;
    double unit = 0; // pixels a pattern unit stands for
    if (style == 7 && !p.userDashes.empty()) {
        for (double d : p.userDashes)
            pattern << d;
        if (pattern.size() % 2) pattern << pattern; // an odd list alternates dash and gap on each pass
        unit = p.cosmetic ? screenPixel(m_dpi) : std::fabs(m_sx);
    } else if (style >= 1 && style <= 4 && (p.width <= 1 || p.cosmetic)) {
        static const QList<qreal> dashes[] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
        pattern = dashes[style - 1];
        unit = screenPixel(m_dpi);
    } else if (style >= 1 && style <= 4 && (p.style & 0x00010000)) {
        static const QList<qreal> dashes[] = {{3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
        pattern = dashes[style - 1];
        unit = width;
    }
    if (!pattern.isEmpty()) {
        for (qreal& d : pattern)
            d = std::clamp(d * unit, 1.0, 1e6) / pen.widthF();
        pen.setDashPattern(pattern);
        pen.setCapStyle(Qt::FlatCap);
    }
    return pen;
}

// Pixels filled with the brush: hatches over an opaque background and patterns cost more.
qint64 Device::brushWork(qint64 pixels) const {
    return m_dc.brush.style == 2 || m_dc.brush.style == 3 ? 2 * pixels : pixels;
}

void Device::fillShape(const QPainterPath& path, const Brush& b) {
    if (b.style == 1) return;
    const QColor colour = m_ropColour.isValid() ? m_ropColour : b.colour;
    QBrush brush(colour);
    if (b.style == 2 && !m_ropColour.isValid()) {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        if (m_dc.backgroundMode == 2) m_painter.fillPath(path, m_dc.backgroundColour);
        brush = QBrush(colour, hatches[std::clamp(b.hatch, 0, 5)]);
        brush.setTransform(QTransform::fromScale(screenPixel(m_dpi), screenPixel(m_dpi)));
    } else if (b.style == 3 && !m_ropColour.isValid()) {
        brush = QBrush(b.pattern);
        brush.setTransform(QTransform::fromScale(screenPixel(m_dpi), screenPixel(m_dpi)));
    }
    m_painter.fillPath(path, brush);
}

// Charges the lines the pen draws (already cut to the page); false when the budget is spent.
bool Device::strokeWork(const std::vector<QPolygonF>& lines, bool closed) {
    const double width = penWidth();
    double length = 0;
    qsizetype points = 0;
    for (const QPolygonF& line : lines) {
        length += (closed ? perimeter(line) : lineLength(line)) + 1;
        points += line.size();
    }
    const qint64 calls = qint64(lines.size()) * kFigureWork;
    if (width <= kHairline) // Qt's hairlines cost about their length, dashed or not
        return charge(calls + points * kPointWork + qint64(length * kHairlineWork));
    // A wide dashed pen strokes every dash as a line of its own.
    const QPen pen = qpen();
    double period = 0;
    for (const qreal d : pen.dashPattern())
        period += d * pen.widthF();
    const qint64 dashes = pen.style() == Qt::CustomDashLine && period > 0 ? qint64(length / period) + 1 : 0;
    // A wide pen's outline is filled row by row: each side of each segment crosses the rows
    // it spans, widened by the pen.
    std::vector<EdgeRows> edges;
    for (const QPolygonF& line : lines) {
        const qsizetype segments = closed ? line.size() : line.size() - 1;
        for (qsizetype i = 0; i < segments; ++i) {
            const QPointF a = line[i], b = line[(i + 1) % line.size()];
            edges.push_back({std::min(a.y(), b.y()) - width / 2, std::max(a.y(), b.y()) + width / 2, 2});
        }
    }
    return charge(calls + points * kPointWork + dashes * kDashWork +
                  std::min(qint64(length * width), area(visible())) + scanWork(edges, visible()));
}

void Device::stroke(const std::vector<QPolygonF>& lines, bool closed) {
    const QPen pen = qpen();
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
    for (const QPolygonF& line : lines) {
        if (pen.isCosmetic() || line.size() <= kStrokeRun) {
            if (closed)
                m_painter.drawPolygon(line);
            else
                m_painter.drawPolyline(line);
            continue;
        }
        // Qt's stroker holds several elements a point of a wide pen's outline: a long line is
        // stroked in runs that share their end points.
        QPolygonF whole = line;
        if (closed) whole << line.first() << line.value(1);
        for (qsizetype from = 0; from + 1 < whole.size(); from += kStrokeRun - 1)
            m_painter.drawPolyline(whole.mid(from, kStrokeRun));
    }
}

void Device::drawShape(QPolygonF polygon, bool fill) {
    drawPolygons({std::move(polygon)}, fill, true);
}

void Device::drawPolygons(const std::vector<QPolygonF>& polygons, bool fill, bool outline) {
    qsizetype total = 0;
    for (const QPolygonF& p : polygons)
        total += p.size();
    if (!charge(total * kPointWork)) return;
    const QRectF cut = reach(), shown = visible();
    std::vector<QPolygonF> kept;
    std::vector<EdgeRows> edges;
    QPainterPath path;
    path.setFillRule(m_dc.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    for (const QPolygonF& polygon : polygons) {
        QPolygonF points = clipPolygon(polygon, cut);
        if (points.size() < 2) continue;
        for (qsizetype k = 0; k < points.size(); ++k)
            edges.push_back({points[k].y(), points[(k + 1) % points.size()].y(), 1});
        kept.push_back(std::move(points));
    }
    if (kept.empty() || shown.isEmpty()) return;
    const bool filled = fill && m_dc.brush.style != 1, outlined = outline && (m_dc.pen.style & 0x0F) != 5;
    QRectF bounds;
    for (const QPolygonF& p : kept)
        bounds |= p.boundingRect();
    if (filled && !charge(brushWork(area(bounds.intersected(shown))) + scanWork(edges, shown))) return;
    if ((outlined && !strokeWork(kept, true)) || !prepareRop()) return;
    applyClip();
    if (filled) {
        for (const QPolygonF& p : kept) {
            path.addPolygon(p);
            path.closeSubpath();
        }
        fillShape(path, m_dc.brush);
    }
    if (outlined) stroke(kept, true);
}

void Device::drawLine(const QPolygonF& line) {
    drawLines({line});
}

void Device::drawLines(const std::vector<QPolygonF>& lines) {
    qsizetype total = 0;
    for (const QPolygonF& l : lines)
        total += l.size();
    if (!charge(total * kPointWork) || (m_dc.pen.style & 0x0F) == 5) return;
    std::vector<QPolygonF> runs;
    for (const QPolygonF& line : lines)
        for (QPolygonF& run : clipPolyline(line, reach()))
            runs.push_back(std::move(run));
    if (runs.empty() || !strokeWork(runs, false) || !prepareRop()) return;
    applyClip();
    stroke(runs, false);
}

// The part of the ellipse from the ray through the start point to the ray through the end
// point, counter-clockwise in logical units as the records' writer saw them (with y down),
// unless the records turned arcs clockwise.
void Device::drawArc(const QRectF& box, QPointF start, QPointF end, int kind) {
    const double a = ellipseAngle(box, start), b = ellipseAngle(box, end);
    const double whole = 2 * std::numbers::pi;
    const bool clockwise = m_dc.clockwiseArcs;
    double sweep = clockwise ? a - b : b - a;
    while (sweep <= 0)
        sweep += whole;
    sweep = std::min(sweep, whole);
    QPolygonF points = mapArc(box, a, clockwise ? -sweep : sweep);
    if (kind == 0)
        drawLine(points);
    else {
        if (kind == 1) points.prepend(map(box.normalized().center()));
        drawShape(points, true);
    }
}

void Device::patBlt(const QPolygonF& area_, uint32_t rop) {
    const QPolygonF polygon = clipPolygon(area_, visible());
    const QRectF shown = polygon.boundingRect().intersected(visible());
    if (!charge(brushWork(area(shown))) || polygon.size() < 3 || shown.isEmpty() ||
        rop == 0x00AA0029) // the page as it is
        return;
    applyClip();
    QPainterPath path;
    if (upright())
        path.addRect(shown);
    else
        path.addPolygon(polygon);
    m_ropColour = QColor();
    switch (rop) {
    case 0x00000042:
        m_painter.fillPath(path, Qt::black);
        break;
    case 0x00FF0062:
        m_painter.fillPath(path, Qt::white);
        break;
    case 0x00550009:
        m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        m_painter.fillPath(path, Qt::black);
        break;
    case 0x005A0049:
        m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        fillShape(path, m_dc.brush);
        break;
    default: // the brush, whatever else the operation mixes in
        fillShape(path, m_dc.brush);
    }
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// A region (page pixels) filled through its bounds with `brush`, or inverted.
void Device::fillRegion(const QRegion& region, const Brush& brush, bool invert) {
    if (!charge(qint64(region.rectCount()) * 16)) return;
    const QRegion area = region & visible().toAlignedRect();
    const QRect bounds = area.boundingRect();
    if (!charge(2 * qint64(bounds.width()) * bounds.height())) return;
    applyClip();
    if (area.isEmpty()) return;
    m_painter.save();
    m_painter.setClipRegion(area, Qt::IntersectClip);
    QPainterPath path;
    path.addRect(bounds);
    if (invert) {
        m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        m_painter.fillPath(path, Qt::black);
    } else if (prepareRop()) {
        fillShape(path, brush);
    }
    m_painter.restore();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Device::setPixel(QPointF at, const QColor& colour) {
    const double side = std::clamp(mapWidth(1), 1.0, double(m_page.width() + m_page.height()));
    const QRectF dot(at, QSizeF(side, side));
    if (!charge(qint64(side * side)) || !dot.intersects(visible())) return;
    applyClip();
    m_painter.fillRect(dot.intersected(visible()), colour);
}

QRegion Device::regionOf(const std::vector<QPolygonF>& polygons) {
    const QRectF page(0, 0, m_page.width(), m_page.height());
    std::vector<EdgeRows> edges;
    QPainterPath path;
    qsizetype points = 0;
    for (const QPolygonF& polygon : polygons) {
        const QPolygonF cut = clipPolygon(polygon, page.adjusted(-2, -2, 2, 2));
        if (cut.size() < 3) continue;
        for (qsizetype k = 0; k < cut.size(); ++k)
            edges.push_back({cut[k].y(), cut[(k + 1) % cut.size()].y(), 1});
        path.addPolygon(cut);
        path.closeSubpath();
        points += cut.size();
    }
    qint64 spans = 0;
    if (!charge(points * kPointWork + 2 * scanWork(edges, page, &spans))) return QRegion();
    if (spans > kMaxClipRects) return QRegion(path.boundingRect().toAlignedRect());
    return QRegion(path.toFillPolygon().toPolygon(), m_dc.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
}

void Device::fillGradient(const QRectF& logical, const QColor& from, const QColor& to, bool horizontal) {
    const QPolygonF corners = mapRect(logical);
    const QPolygonF polygon = clipPolygon(corners, visible());
    const QRectF shown = polygon.boundingRect().intersected(visible());
    if (!charge(2 * area(shown)) || polygon.size() < 3 || shown.isEmpty()) return;
    const QRectF r = logical.normalized();
    QLinearGradient gradient(map(r.topLeft()), map(horizontal ? r.topRight() : r.bottomLeft()));
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPainterPath path;
    path.addPolygon(polygon);
    m_painter.fillPath(path, gradient);
}

// How a bitmap mixes with the page.
void Device::blend(uint32_t rop) {
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case 0x00EE0086:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case 0x008800C6:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case 0x00660046:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case 0x00440328:
        mode = QPainter::RasterOp_SourceAndNotDestination;
        break;
    case 0x00330008:
        mode = QPainter::RasterOp_NotSource;
        break;
    case 0x001100A6:
        mode = QPainter::RasterOp_NotSourceAndNotDestination;
        break;
    case 0x00BB0226:
        mode = QPainter::RasterOp_NotSourceOrDestination;
        break;
    default:
        break; // a copy
    }
    m_painter.setCompositionMode(mode);
}

void Device::drawBitmap(const Dib& dib, const Blit& b) {
    switch (b.rop) { // operations that use no source
    case 0x00F00021:
    case 0x00000042:
    case 0x00FF0062:
    case 0x00550009:
    case 0x005A0049:
    case 0x00AA0029:
        patBlt(mapRect(QRectF(b.dx, b.dy, b.dw, b.dh)), b.rop);
        return;
    default:
        break;
    }
    if (b.sw == 0 || b.sh == 0 || b.dw == 0 || b.dh == 0) return;
    const QRectF shown = mapRect(QRectF(b.dx, b.dy, b.dw, b.dh)).boundingRect().intersected(visible());
    if (shown.isEmpty()) return;
    // The source runs from its origin along its extents (backwards where they are negative),
    // in rows counted from the top; a bottom-up bitmap whose rows the record counts from the
    // bottom still lands upright. Its pixels map to the page through the destination.
    const double ox = b.sx, ex = b.sw;
    const double oy = b.fromBottom && dib.bottomUp ? dib.height - b.sy - b.sh : b.sy, ey = b.sh;
    const QTransform toDest = QTransform::fromTranslate(-ox, -oy) * QTransform::fromScale(b.dw / ex, b.dh / ey) *
                              QTransform::fromTranslate(b.dx, b.dy) * m_toPage;
    bool invertible = false;
    const QTransform fromPage = toDest.inverted(&invertible);
    if (!invertible) return;
    // The source pixels that show, in whole pixels.
    const QRectF needed = fromPage.mapRect(shown).intersected(QRectF(ox, oy, ex, ey).normalized());
    const int x0 = int(std::clamp(std::floor(needed.left()), 0.0, double(dib.width))),
              x1 = int(std::clamp(std::ceil(needed.right()), 0.0, double(dib.width)));
    const int y0 = int(std::clamp(std::floor(needed.top()), 0.0, double(dib.height))),
              y1 = int(std::clamp(std::ceil(needed.bottom()), 0.0, double(dib.height)));
    if (x1 <= x0 || y1 <= y0) return;
    const QRectF target = toDest.mapRect(QRectF(x0, y0, x1 - x0, y1 - y0)); // page bounds of those pixels
    // Pixels enlarged past any page (a hostile stretch) are left out: Qt's painter works in
    // 32-bit coordinates.
    constexpr double kFar = 1 << 24;
    if (!QRectF(-kFar, -kFar, 2 * kFar, 2 * kFar).contains(target)) return;
    // Sampled down to no more pixels than they cover on the page.
    const double along = std::hypot(toDest.m11(), toDest.m12()), down = std::hypot(toDest.m21(), toDest.m22());
    const double reachX = upright() ? shown.width() + 2 : shown.width() + shown.height() + 2,
                 reachY = upright() ? shown.height() + 2 : reachX;
    const QSize size(std::clamp(int(std::ceil(std::min((x1 - x0) * along, reachX))), 1, x1 - x0),
                     std::clamp(int(std::ceil(std::min((y1 - y0) * down, reachY))), 1, y1 - y0));
    const bool rle = dib.compression == 1 || dib.compression == 2;
    const qint64 pagePixels = qint64(m_page.width()) * m_page.height();
    if (!charge(4 * qint64(size.width()) * size.height() + 2 * area(shown.intersected(target)) +
                (rle ? 4 * qint64(dib.width) * dib.height : 0)))
        return;
    const DibSampler sampler(dib, QRect(x0, y0, x1 - x0, y1 - y0), size,
                             std::max<qint64>(pagePixels + (pagePixels >> 2), 1 << 22), b.alpha);
    if (!sampler.isValid()) return;
    applyClip();
    m_painter.save();
    // Enlarged bitmaps keep their pixels square and crisp, as their writer's screen showed them.
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform,
                            (x1 - x0) * along < 2 * size.width() && (y1 - y0) * down < 2 * size.height());
    blend(b.rop);
    if (b.constantAlpha < 255) m_painter.setOpacity(std::max(0, b.constantAlpha) / 255.0);
    // The sampled picture's pixels onto the source rectangle they stand for, then to the page.
    m_painter.setTransform(QTransform::fromScale(double(x1 - x0) / size.width(), double(y1 - y0) / size.height()) *
                           QTransform::fromTranslate(x0, y0) * toDest);
    // Decoded and drawn a band of rows at a time.
    const int bandRows = int(std::clamp<qint64>(kBandPixels / size.width(), 1, size.height()));
    for (int y = 0; y < size.height(); y += bandRows) {
        const QImage band = sampler.rows(y, bandRows);
        if (band.isNull()) break;
        m_painter.drawImage(QPointF(0, y), band);
    }
    m_painter.restore();
}

QString Device::decodeText(const QByteArray& bytes) const {
    QByteArray text = bytes;
    while (text.endsWith('\0'))
        text.chop(1);
    if (m_dc.font.charset == 2) // symbol fonts: their own glyphs, at the same codes
        return QString::fromLatin1(text);
    QStringDecoder decoder(codecFor(m_dc.font.charset));
    if (!decoder.isValid()) return QString::fromLatin1(text);
    return decoder.decode(text);
}

QFont Device::qfont() {
    if (m_fontReady) return m_font;
    const Font& f = m_dc.font;
    // The page is set to 72 dots an inch, so a point here is a pixel of the page.
    double pixels = f.height ? std::fabs(f.height * m_sy) : 16 * screenPixel(m_dpi);
    QFont font;
    if (!f.face.isEmpty()) font.setFamily(f.face);
    font.setPointSizeF(std::clamp(pixels, 0.5, kMaxFontPixels));
    if (f.height > 0) { // the height of the character cell, not of the letters
        const double cell = QFontMetricsF(font, &m_page).height();
        if (cell > 0) font.setPointSizeF(std::clamp(pixels * pixels / cell, 0.5, kMaxFontPixels));
    }
    font.setWeight(QFont::Weight(std::clamp(f.weight ? f.weight : 400, 100, 900)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    if (f.width) {
        const double average = QFontMetricsF(font, &m_page).averageCharWidth();
        if (average > 0) font.setStretch(int(std::clamp(100 * mapWidth(f.width) / average, 1.0, 4000.0)));
    }
    m_font = font;
    m_fontReady = true;
    return m_font;
}

void Device::drawText(QPointF reference, const QString& input, const std::vector<double>& dx, int options,
                      const QRectF& box) {
    DrawState& s = m_dc;
    if (!m_fontReady && !charge(kFontWork)) return;
    const QFont font = qfont();
    // Small glyphs come from Qt's cache; large ones are filled as outlines, each time.
    const double em = font.pointSizeF();
    if (!charge(qint64(input.size()) * (kGlyphWork + qint64(12 * em * em)))) return;
    applyClip();
    m_ropColour = QColor();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if ((options & 0x0002) && box.isValid()) { // opaque: the rectangle in the background colour
        const QRectF shown = box.intersected(visible());
        if (!charge(area(shown))) return;
        m_painter.fillRect(shown, s.backgroundColour);
    }
    QString text = input;
    while (text.endsWith(QChar(0)))
        text.chop(1);
    if (text.isEmpty()) return;
    const QFontMetricsF metrics(font, &m_page);
    const bool spaced = !dx.empty() && dx.size() == size_t(text.size());
    double advance = 0;
    std::vector<double> offsets;
    if (spaced) { // within a distance Qt's 32-bit coordinates hold, however far the advances reach
        for (qsizetype i = 0; i < text.size(); ++i) {
            offsets.push_back(advance);
            advance = std::clamp(advance + dx[size_t(i)] * m_sx, -1e7, 1e7);
        }
    } else {
        advance = metrics.horizontalAdvance(text);
    }
    const bool updateCp = s.textAlign & 1;
    const QPointF at = map(updateCp ? s.position : reference);
    double left = 0;
    switch (s.textAlign & 0x06) {
    case 0x02:
        left = -advance;
        break; // right
    case 0x06:
        left = -advance / 2;
        break; // centre
    default:
        break;
    }
    double baseline = 0;
    switch (s.textAlign & 0x18) {
    case 0x08:
        baseline = -metrics.descent();
        break; // bottom
    case 0x18:
        break; // baseline
    default:
        baseline = metrics.ascent();
        break; // top
    }
    if (updateCp && m_sx != 0) s.position.setX(s.position.x() + advance / m_sx);
    QTransform place = QTransform::fromTranslate(at.x(), at.y());
    if (s.font.escapement || m_textAngle) place.rotate(m_textAngle - s.font.escapement / 10.0);
    const QRectF cell(left, baseline - metrics.ascent(), std::fabs(advance), metrics.ascent() + metrics.descent());
    const QRectF onPage = place.mapRect(cell);
    const QRectF shown = onPage.intersected(visible());
    if (shown.isEmpty() || !charge(area(shown))) return;
    m_painter.save();
    if ((options & 0x0004) && box.isValid()) m_painter.setClipRect(box, Qt::IntersectClip);
    m_painter.setTransform(place);
    if (s.backgroundMode == 2 && !(options & 0x0002)) m_painter.fillRect(cell, s.backgroundColour);
    m_painter.setFont(font);
    m_painter.setPen(s.textColour);
    if (spaced) {
        for (qsizetype i = 0; i < text.size(); ++i)
            m_painter.drawText(QPointF(left + offsets[size_t(i)], baseline), QString(text[i]));
    } else {
        m_painter.drawText(QPointF(left, baseline), text);
    }
    m_painter.restore();
}

} // namespace imaging::metafile
