// The drawing records of the WMF player: shapes, text and bitmaps, each cut to the page and
// charged to the work budget before Qt draws it.
#include "platform/imaging/wmfplayer.h"

#include "platform/imaging/raster.h"
#include "platform/imaging/wmfdib.h"

#include <QFontMetricsF>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace imaging::wmf {

namespace {

constexpr qint64 kPointWork = 16;     // a point handed to Qt
constexpr double kHairline = 1.5;     // pens up to this wide are drawn one pixel wide
constexpr double kHairlineWork = 64;  // a pixel of a hairline's length
constexpr qint64 kGlyphWork = 4096;   // laying out and drawing one character
constexpr qint64 kFontWork = 1 << 20; // finding and setting up a font
constexpr double kMaxFontPixels = 16384;
constexpr qint64 kBandPixels = 2 << 20; // bitmaps are decoded and drawn in bands of this

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
qint64 scanWork(const std::vector<EdgeRows>& edges, const QRectF& shown) {
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
    qint64 work = 0, crossing = 0;
    for (int y = 0; y < rows; ++y) {
        crossing += starts[size_t(y)];
        work += 8 * crossing + crossing * crossing;
    }
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

QRectF Player::visible() const {
    const QRectF page(0, 0, m_page.width(), m_page.height());
    return m_state.clipped ? page.intersected(QRectF(m_state.clip.boundingRect())) : page;
}

// The rectangle shapes are cut to: the visible part, widened past the reach of the widest
// pen and its mitred corners, so no cut edge shows.
QRectF Player::reach() const {
    const double margin = 2 * ((m_state.pen.style & 0x0F) == 5 ? 0 : penWidth()) + 4;
    return visible().adjusted(-margin, -margin, margin, margin);
}

void Player::applyClip() {
    if (m_clipApplied) return;
    // Never clipping switched off: Qt 6.4 then ignores the next clip made of several rectangles.
    if (m_state.clipped)
        m_painter.setClipRegion(m_state.clip);
    else
        m_painter.setClipRect(QRect(0, 0, m_page.width(), m_page.height()));
    m_clipApplied = true;
}

// Sets the painter up for the mix of pen and brush with the page; false when nothing is drawn.
bool Player::prepareRop() {
    m_ropColour = QColor();
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (m_state.rop2) {
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
double Player::penWidth() const {
    return std::min(std::max(1.0, mapWidth(m_state.pen.width)), 2.0 * (m_page.width() + m_page.height()));
}

QPen Player::qpen() const {
    const Pen& p = m_state.pen;
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
    // Dashes are for thin pens only; wider ones draw solid, as their writer saw them.
    if (style >= 1 && style <= 4 && p.width <= 1) {
        static const QList<qreal> dashes[] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
        QList<qreal> pattern = dashes[style - 1];
        const double scale = screenPixel(m_dpi) / pen.widthF();
        for (qreal& d : pattern)
            d *= scale;
        pen.setDashPattern(pattern);
        pen.setCapStyle(Qt::FlatCap);
    }
    return pen;
}

// Pixels filled with the brush: hatches over an opaque background and patterns cost more.
qint64 Player::brushWork(qint64 pixels) const {
    return m_state.brush.style == 2 || m_state.brush.style == 3 ? 2 * pixels : pixels;
}

void Player::fillShape(const QPainterPath& path, const Brush& b) {
    if (b.style == 1) return;
    const QColor colour = m_ropColour.isValid() ? m_ropColour : b.colour;
    QBrush brush(colour);
    if (b.style == 2 && !m_ropColour.isValid()) {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        if (m_state.backgroundMode == 2) m_painter.fillPath(path, m_state.backgroundColour);
        brush = QBrush(colour, hatches[std::min(b.hatch, 5)]);
        brush.setTransform(QTransform::fromScale(screenPixel(m_dpi), screenPixel(m_dpi)));
    } else if (b.style == 3 && !m_ropColour.isValid()) {
        brush = QBrush(b.pattern);
        brush.setTransform(QTransform::fromScale(screenPixel(m_dpi), screenPixel(m_dpi)));
    }
    m_painter.fillPath(path, brush);
}

// Charges the lines the pen draws (already cut to the page); false when the budget is spent.
bool Player::strokeWork(const std::vector<QPolygonF>& lines, bool closed) {
    const double width = penWidth();
    double length = 0;
    qsizetype points = 0;
    for (const QPolygonF& line : lines) {
        length += (closed ? perimeter(line) : lineLength(line)) + 1;
        points += line.size();
    }
    if (width <= kHairline) // Qt's hairlines cost about their length
        return charge(points * kPointWork + qint64(length * kHairlineWork));
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
    return charge(points * kPointWork + std::min(qint64(length * width), area(visible())) +
                  scanWork(edges, visible()));
}

void Player::stroke(const std::vector<QPolygonF>& lines, bool closed) {
    const QPen pen = qpen();
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
    for (const QPolygonF& line : lines) {
        if (closed)
            m_painter.drawPolygon(line);
        else
            m_painter.drawPolyline(line);
    }
}

void Player::drawShape(QPolygonF polygon, bool fill) {
    if (!charge(polygon.size() * kPointWork)) return;
    polygon = clipPolygon(polygon, reach());
    const QRectF shown = visible();
    if (polygon.size() < 2 || shown.isEmpty()) return;
    const bool filled = fill && m_state.brush.style != 1;
    const bool outlined = (m_state.pen.style & 0x0F) != 5;
    if (filled) {
        std::vector<EdgeRows> edges;
        for (qsizetype i = 0; i < polygon.size(); ++i)
            edges.push_back({polygon[i].y(), polygon[(i + 1) % polygon.size()].y(), 1});
        if (!charge(brushWork(area(polygon.boundingRect().intersected(shown))) + scanWork(edges, shown)))
            return;
    }
    if (outlined && !strokeWork({polygon}, true)) return;
    if (!prepareRop()) return;
    applyClip();
    if (filled) {
        QPainterPath path;
        path.addPolygon(polygon);
        path.closeSubpath();
        path.setFillRule(m_state.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
        fillShape(path, m_state.brush);
    }
    if (outlined) stroke({polygon}, true);
}

void Player::drawLine(const QPolygonF& line) {
    if (!charge(line.size() * kPointWork) || (m_state.pen.style & 0x0F) == 5) return;
    const std::vector<QPolygonF> runs = clipPolyline(line, reach());
    if (runs.empty() || !strokeWork(runs, false) || !prepareRop()) return;
    applyClip();
    stroke(runs, false);
}

void Player::drawPolyPolygon(const Record& r) {
    const int polygons = r.u16(0);
    qint64 total = 0;
    for (int i = 0; i < polygons; ++i)
        total += r.u16(1 + i);
    if (r.words() < 1 + polygons + 2 * total || !charge(total * kPointWork)) return;
    const QRectF cut = reach(), shown = visible();
    std::vector<QPolygonF> kept;
    std::vector<EdgeRows> edges;
    QPainterPath path;
    path.setFillRule(m_state.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    int at = 1 + polygons;
    for (int i = 0; i < polygons; ++i) {
        const int n = r.u16(1 + i);
        QPolygonF points;
        points.reserve(n);
        for (int j = 0; j < n; ++j, at += 2)
            points << map(r.s16(at), r.s16(at + 1));
        points = clipPolygon(points, cut);
        if (points.size() < 2) continue;
        for (qsizetype k = 0; k < points.size(); ++k)
            edges.push_back({points[k].y(), points[(k + 1) % points.size()].y(), 1});
        path.addPolygon(points);
        path.closeSubpath();
        kept.push_back(std::move(points));
    }
    if (kept.empty() || shown.isEmpty()) return;
    const bool filled = m_state.brush.style != 1, outlined = (m_state.pen.style & 0x0F) != 5;
    if (filled && !charge(brushWork(area(path.boundingRect().intersected(shown))) + scanWork(edges, shown)))
        return;
    if ((outlined && !strokeWork(kept, true)) || !prepareRop()) return;
    applyClip();
    if (filled) {
        fillShape(path, m_state.brush);
    }
    if (outlined) stroke(kept, true);
}

// Arc (0), pie (1) or chord (2): the part of the ellipse from the ray through the start point
// to the ray through the end point, counter-clockwise as the records' writer saw it.
void Player::drawArc(const Record& r, int kind) {
    const QRectF box = mapRect(r, 4);
    const double start = ellipseAngle(box, map(r.s16(3), r.s16(2)));
    const double end = ellipseAngle(box, map(r.s16(1), r.s16(0)));
    const double whole = 2 * std::numbers::pi;
    const bool counterClockwise = m_sx * m_sy > 0; // a flipped mapping turns the other way on the page
    double sweep = counterClockwise ? end - start : start - end;
    while (sweep <= 0)
        sweep += whole;
    sweep = std::min(sweep, whole);
    QPolygonF points = ellipseArc(box, start, counterClockwise ? sweep : -sweep);
    if (kind == 0)
        drawLine(points);
    else {
        if (kind == 1) points.prepend(box.center());
        drawShape(points, true);
    }
}

void Player::drawRect(const QRectF& rect, bool rounded, double rx, double ry) {
    if (!rounded) {
        drawShape(QPolygonF(rect), true);
        return;
    }
    drawShape(roundedRect(rect, rx, ry), true);
}

void Player::patBlt(const QRectF& rect, uint32_t rop) {
    const QRectF shown = rect.intersected(visible());
    if (!charge(brushWork(area(shown))) || shown.isEmpty() || rop == 0x00AA0029) // the page as it is
        return;
    applyClip();
    QPainterPath path;
    path.addRect(shown);
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
        fillShape(path, m_state.brush);
        break;
    default: // the brush, whatever else the operation mixes in
        fillShape(path, m_state.brush);
    }
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// How a bitmap mixes with the page.
void Player::blend(uint32_t rop) {
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

void Player::drawBitmap(const Record& r, const Blit& b) {
    const QPointF p0 = map(b.dx, b.dy), p1 = map(b.dx + b.dw, b.dy + b.dh);
    const QRectF dest = QRectF(p0, p1).normalized();
    switch (b.rop) { // operations that use no source
    case 0x00F00021:
    case 0x00000042:
    case 0x00FF0062:
    case 0x00550009:
    case 0x005A0049:
    case 0x00AA0029:
        patBlt(dest, b.rop);
        return;
    default:
        break;
    }
    Dib dib;
    QString ignored;
    if (!r.holds(b.dibAt, 0) ||
        !readDib(r.bytesAt(b.dibAt), r.params.size() - b.dibAt, b.paletteIndices, dib, ignored))
        return; // a bitmap its record cannot hold is left out
    bool flipX = (p1.x() < p0.x()) != (b.sw < 0), flipY = (p1.y() < p0.y()) != (b.sh < 0);
    const double sw = std::fabs(b.sw), sh = std::fabs(b.sh);
    double sx = b.sw < 0 ? b.sx + b.sw : b.sx, sy = b.sh < 0 ? b.sy + b.sh : b.sy;
    if (b.fromBottom && dib.bottomUp) sy = dib.height - sy - sh;
    const QRectF shown = dest.intersected(visible());
    if (shown.isEmpty() || sw <= 0 || sh <= 0 || dest.width() <= 0 || dest.height() <= 0) return;
    // The source pixels that show, in whole pixels, and where they land on the page.
    double fx0 = (shown.left() - dest.left()) / dest.width(),
           fx1 = (shown.right() - dest.left()) / dest.width();
    double fy0 = (shown.top() - dest.top()) / dest.height(),
           fy1 = (shown.bottom() - dest.top()) / dest.height();
    if (flipX) std::tie(fx0, fx1) = std::pair(1 - fx1, 1 - fx0);
    if (flipY) std::tie(fy0, fy1) = std::pair(1 - fy1, 1 - fy0);
    const int x0 = int(std::max(0.0, std::floor(sx + fx0 * sw))),
              x1 = int(std::min<double>(dib.width, std::ceil(sx + fx1 * sw)));
    const int y0 = int(std::max(0.0, std::floor(sy + fy0 * sh))),
              y1 = int(std::min<double>(dib.height, std::ceil(sy + fy1 * sh)));
    if (x1 <= x0 || y1 <= y0) return;
    const auto along = [](double from, double length, bool flip, double a, double b) {
        return flip ? std::pair(from + length * (1 - b), from + length * (1 - a))
                    : std::pair(from + length * a, from + length * b);
    };
    const auto [lx, rx] = along(dest.left(), dest.width(), flipX, (x0 - sx) / sw, (x1 - sx) / sw);
    const auto [ty, by] = along(dest.top(), dest.height(), flipY, (y0 - sy) / sh, (y1 - sy) / sh);
    const QRectF target(QPointF(lx, ty), QPointF(rx, by));
    const QSize size(std::clamp(int(std::ceil(std::min(target.width(), shown.width() + 2))), 1, x1 - x0),
                     std::clamp(int(std::ceil(std::min(target.height(), shown.height() + 2))), 1, y1 - y0));
    const bool rle = dib.compression == 1 || dib.compression == 2;
    const qint64 pagePixels = qint64(m_page.width()) * m_page.height();
    if (!charge(4 * qint64(size.width()) * size.height() + 2 * area(shown) +
                (rle ? 4 * qint64(dib.width) * dib.height : 0)))
        return;
    const DibSampler sampler(dib, QRect(x0, y0, x1 - x0, y1 - y0), size,
                             std::max<qint64>(pagePixels + (pagePixels >> 2), 1 << 22));
    if (!sampler.isValid()) return;
    applyClip();
    m_painter.save();
    // Enlarged bitmaps keep their pixels square and crisp, as their writer's screen showed them.
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform,
                            target.width() < 2 * size.width() && target.height() < 2 * size.height());
    blend(b.rop);
    if (flipX || flipY)
        m_painter.setTransform(QTransform(flipX ? -1 : 1, 0, 0, flipY ? -1 : 1,
                                          flipX ? target.left() + target.right() : 0,
                                          flipY ? target.top() + target.bottom() : 0));
    // Decoded and drawn a band of rows at a time (the transform mirrors the whole).
    const int bandRows = int(std::clamp<qint64>(kBandPixels / size.width(), 1, size.height()));
    for (int y = 0; y < size.height(); y += bandRows) {
        const QImage band = sampler.rows(y, bandRows);
        if (band.isNull()) break;
        const double top = target.top() + target.height() * y / size.height();
        m_painter.drawImage(
            QRectF(target.left(), top, target.width(), target.height() * band.height() / size.height()),
            band);
    }
    m_painter.restore();
}

QString Player::decodeText(const QByteArray& bytes) const {
    QByteArray text = bytes;
    while (text.endsWith('\0'))
        text.chop(1);
    if (m_state.font.charset == 2) // symbol fonts: their own glyphs, at the same codes
        return QString::fromLatin1(text);
    QStringDecoder decoder(codecFor(m_state.font.charset));
    if (!decoder.isValid()) return QString::fromLatin1(text);
    return decoder.decode(text);
}

QFont Player::qfont() {
    if (m_fontReady) return m_font;
    const Font& f = m_state.font;
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
        if (average > 0) font.setStretch(std::clamp(int(100 * mapWidth(f.width) / average), 1, 4000));
    }
    m_font = font;
    m_fontReady = true;
    return m_font;
}

void Player::drawText(QPointF reference, const QByteArray& bytes, const std::vector<int>& dx, int options,
                      const QRectF& box) {
    State& s = m_state;
    if (!m_fontReady && !charge(kFontWork)) return;
    const QFont font = qfont();
    // Small glyphs come from Qt's cache; large ones are filled as outlines, each time.
    const double em = font.pointSizeF();
    if (!charge(qint64(bytes.size()) * (kGlyphWork + qint64(12 * em * em)))) return;
    applyClip();
    m_ropColour = QColor();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if ((options & 0x0002) && box.isValid()) { // opaque: the rectangle in the background colour
        const QRectF shown = box.intersected(visible());
        if (!charge(area(shown))) return;
        m_painter.fillRect(shown, s.backgroundColour);
    }
    const QString text = decodeText(bytes);
    if (text.isEmpty()) return;
    const QFontMetricsF metrics(font, &m_page);
    const bool spaced = !dx.empty() && dx.size() == size_t(text.size());
    double advance = 0;
    std::vector<double> offsets;
    if (spaced) {
        for (const int step : dx) {
            offsets.push_back(advance);
            advance += std::clamp(step * m_sx, -1e7, 1e7);
        }
    } else {
        advance = metrics.horizontalAdvance(text);
    }
    const bool updateCp = s.textAlign & 1;
    const QPointF at =
        map(updateCp ? s.position.x() : reference.x(), updateCp ? s.position.y() : reference.y());
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
    if (s.font.escapement) place.rotate(-s.font.escapement / 10.0);
    const QRectF cell(left, baseline - metrics.ascent(), std::fabs(advance),
                      metrics.ascent() + metrics.descent());
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

} // namespace imaging::wmf
