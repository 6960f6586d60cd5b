// The drawing records of the EMF player: shapes and paths, text, bitmaps and gradients, read
// from their records with every count checked against the record's bytes before anything is
// allocated, then handed to the device.
#include "platform/imaging/metafiles/emfplayer.h"

#include "platform/imaging/formats/raster.h"

#include <algorithm>
#include <cstring>

namespace imaging::emf {

using namespace metafile;

namespace {

constexpr qint64 kFigureWork = 1024; // a shape handed to Qt on its own
constexpr int kPatternSide = 256;    // pattern brushes are sampled down to this
constexpr int kMaxDashes = 16;       // the dash and gap lengths a pen keeps

enum PointType { kCloseFigure = 1, kLineTo = 2, kBezierTo = 4, kMoveTo = 6 };

bool overPoints(qint64 count) {
    return count < 0 || count > kMaxShapePoints;
}

} // namespace

void Player::addFigure(QPolygonF points, bool closed) {
    m_pathPoints += points.size();
    if (m_pathPoints > kMaxShapePoints) {
        fail(ApOverLimits,
             QStringLiteral("EMF path of more than %1 points is over the limits").arg(kMaxShapePoints));
        return;
    }
    m_path.push_back({std::move(points), closed});
}

void Player::extendFigure(const QPolygonF& points) {
    if (m_path.empty() || m_path.back().closed) {
        addFigure(QPolygonF{map(m_dc.position)} << points, false);
        return;
    }
    m_pathPoints += points.size();
    if (m_pathPoints > kMaxShapePoints) {
        fail(ApOverLimits,
             QStringLiteral("EMF path of more than %1 points is over the limits").arg(kMaxShapePoints));
        return;
    }
    m_path.back().points << points;
}

void Player::drawClosed(QPolygonF points) {
    if (m_inPath)
        addFigure(std::move(points), true);
    else
        drawShape(std::move(points), true);
}

void Player::drawOpen(const QPolygonF& points) {
    if (m_inPath)
        addFigure(points, false);
    else
        drawLine(points);
}

// Polygons, polylines and Bezier curves: bounds, a count, then the points (32 or 16 bits).
bool Player::drawPoints(const Record& r, bool small) {
    const qint64 count = r.u32At(16), size = small ? 4 : 8;
    if (overPoints(count)) {
        fail(ApOverLimits, QStringLiteral("EMF shape of %1 points is over the limits").arg(count));
        return false;
    }
    if (!r.holds(20, count * size)) return true; // a record too short for its points draws nothing
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (qint64 i = 0; i < count; ++i)
        points << map(pointAt(r, int(20 + i * size), small));
    const uint32_t type = small ? r.function - 83 : r.function; // the 16-bit records follow the same order
    DrawState& dc = m_dc;
    const QPointF last = count ? pointAt(r, int(20 + (count - 1) * size), small) : dc.position;
    switch (type) {
    case 3: // polygon
        drawClosed(points);
        break;
    case 4: // polyline
        drawOpen(points);
        break;
    case 2: // Bezier curves from their first point
        if (points.size() >= 4)
            drawOpen(QPolygonF{points[0]} << flattenBeziers(points[0], points.mid(1), kMaxShapePoints));
        break;
    case 5:   // Bezier curves from the current position
    case 6: { // lines from the current position
        const QPolygonF run = type == 5 ? flattenBeziers(map(dc.position), points, kMaxShapePoints) : points;
        if (m_inPath)
            extendFigure(run);
        else
            drawLine(QPolygonF{map(dc.position)} << run);
        dc.position = last;
        break;
    }
    default:
        break;
    }
    return !failed();
}

// Several polygons or polylines: bounds, how many, their points in all, the count of each,
// then the points.
bool Player::drawPolyPoints(const Record& r, bool small) {
    const qint64 figures = r.u32At(16), total = r.u32At(20), size = small ? 4 : 8;
    if (overPoints(total) || overPoints(figures)) {
        fail(ApOverLimits, QStringLiteral("EMF shape of %1 points is over the limits").arg(total));
        return false;
    }
    const qint64 pointsAt = 24 + 4 * figures;
    if (!r.holds(24, 4 * figures) || !r.holds(pointsAt, total * size)) return true;
    qint64 sum = 0;
    for (qint64 i = 0; i < figures; ++i)
        sum += r.u32At(int(24 + 4 * i));
    if (sum > total) return true;
    if (!charge(figures * kFigureWork)) return false;
    const bool polygons = r.function == 8 || r.function == 91;
    std::vector<QPolygonF> shapes;
    qint64 at = pointsAt;
    for (qint64 i = 0; i < figures; ++i) {
        const qint64 n = r.u32At(int(24 + 4 * i));
        QPolygonF points;
        points.reserve(qsizetype(n));
        for (qint64 k = 0; k < n; ++k, at += size)
            points << map(pointAt(r, int(at), small));
        if (m_inPath)
            addFigure(std::move(points), polygons);
        else
            shapes.push_back(std::move(points));
    }
    if (m_inPath) return !failed();
    if (polygons)
        drawPolygons(shapes, true, true);
    else
        drawLines(shapes);
    return !failed();
}

// Lines and curves with a type for each point: move, line or Bezier, perhaps closing its figure.
bool Player::drawPolyDraw(const Record& r, bool small) {
    const qint64 count = r.u32At(16), size = small ? 4 : 8;
    if (overPoints(count)) {
        fail(ApOverLimits, QStringLiteral("EMF shape of %1 points is over the limits").arg(count));
        return false;
    }
    const qint64 typesAt = 20 + count * size;
    if (!r.holds(20, count * size) || !r.holds(typesAt, count)) return true;
    std::vector<Figure> figures;
    QPointF position = m_dc.position;
    figures.push_back({QPolygonF{map(position)}, false});
    for (qint64 i = 0; i < count; ++i) {
        const uint8_t type = uint8_t(r.params[typesAt + i]);
        const QPointF p = pointAt(r, int(20 + i * size), small);
        if ((type & ~kCloseFigure) == kMoveTo) {
            figures.push_back({QPolygonF{map(p)}, false});
        } else if ((type & ~kCloseFigure) == kBezierTo && i + 2 < count) {
            QPolygonF controls{map(p), map(pointAt(r, int(20 + (i + 1) * size), small)),
                               map(pointAt(r, int(20 + (i + 2) * size), small))};
            figures.back().points << flattenBeziers(figures.back().points.last(), controls,
                                                    kMaxShapePoints - figures.back().points.size());
            i += 2;
        } else {
            figures.back().points << map(p);
        }
        position = pointAt(r, int(20 + i * size), small);
        if (uint8_t(r.params[typesAt + i]) & kCloseFigure) {
            figures.back().closed = true;
            figures.push_back({QPolygonF{figures.back().points.first()}, false});
        }
    }
    m_dc.position = position;
    if (!charge(qint64(figures.size()) * kFigureWork)) return false;
    std::vector<QPolygonF> closed, open;
    for (Figure& f : figures) {
        if (f.points.size() < 2) continue;
        if (m_inPath)
            addFigure(std::move(f.points), f.closed);
        else
            (f.closed ? closed : open).push_back(std::move(f.points));
    }
    if (!closed.empty()) drawPolygons(closed, false, true);
    if (!open.empty()) drawLines(open);
    return !failed();
}

bool Player::pathOp(const Record& r) {
    switch (r.function) {
    case 59: // begin
        m_inPath = true;
        m_path.clear();
        m_pathPoints = 0;
        return true;
    case 60: // end
        m_inPath = false;
        return true;
    case 61: // close the figure
        if (!m_path.empty()) m_path.back().closed = true;
        return true;
    case 68: // abort
        m_inPath = false;
        m_path.clear();
        m_pathPoints = 0;
        return true;
    default:
        break;
    }
    m_inPath = false;
    std::vector<QPolygonF> all, closed, open;
    for (const Figure& f : m_path) {
        all.push_back(f.points);
        (f.closed ? closed : open).push_back(f.points);
    }
    m_path.clear();
    m_pathPoints = 0;
    if (!charge(qint64(all.size()) * kFigureWork)) return false;
    switch (r.function) {
    case 62: // fill
        drawPolygons(all, true, false);
        break;
    case 63: // stroke and fill
    case 64: // stroke
        if (r.function == 63) drawPolygons(all, true, false);
        if (!closed.empty()) drawPolygons(closed, false, true);
        if (!open.empty()) drawLines(open);
        break;
    case 67: // the path becomes the clip
        combineClip(regionOf(all), int(r.u32At(0)));
        break;
    default:
        break;
    }
    return !failed();
}

// The rectangle text is set in or cut to, on the page (none when the options name none). False
// when the text is cut to a rectangle that misses the page.
bool Player::textBox(const QRectF& logical, int options, QRectF& box) const {
    box = QRectF();
    if (!(options & 0x0006)) return true;
    const QRectF page(-1, -1, m_page.width() + 2, m_page.height() + 2);
    const QRectF mapped = mapRect(logical).boundingRect();
    if (mapped.intersects(page)) box = mapped.intersected(page);
    return box.isValid() || !(options & 0x0004);
}

// Text: bounds, the graphics mode and scales, then where it goes, its characters, options,
// rectangle and the offset of each character's advance.
void Player::drawText(const Record& r, bool wide) {
    const qint64 n = r.u32At(36), textAt = qint64(r.u32At(40)) - 8, dxAt = qint64(r.u32At(64)) - 8;
    const int options = int(r.u32At(44));
    if (options & 0x0010) return; // glyph indices of a font we do not have
    if (n <= 0 || overPoints(n) || !r.holds(textAt, n * (wide ? 2 : 1))) return;
    QString text;
    if (wide) {
        std::u16string chars(size_t(n), u'\0');
        std::memcpy(chars.data(), r.bytesAt(int(textAt)), size_t(n) * 2);
        text = QString::fromStdU16String(chars);
    } else {
        text = decodeText(QByteArray(r.bytesAt(int(textAt)), qsizetype(n)));
    }
    const int step = options & 0x2000 ? 8 : 4; // with each advance, a rise
    std::vector<double> dx;
    if (r.u32At(64) && r.holds(dxAt, n * step) && text.size() == n) {
        dx.reserve(size_t(n));
        for (qint64 i = 0; i < n; ++i)
            dx.push_back(r.i32At(int(dxAt + i * step)));
    }
    QRectF box;
    if (textBox(rectAt(r, 48), options, box))
        Device::drawText(QPointF(r.i32At(28), r.i32At(32)), text, dx, options, box);
}

// Short text: where it goes, its length, options, graphics mode and scales, perhaps a
// rectangle, then the characters (eight bits each when the options say so).
void Player::drawSmallText(const Record& r) {
    const qint64 n = r.u32At(8);
    const int options = int(r.u32At(12));
    const qint64 at = options & 0x0100 ? 28 : 44;
    const bool narrow = options & 0x0200;
    if (n <= 0 || overPoints(n) || !r.holds(at, n * (narrow ? 1 : 2)) || (options & 0x0010)) return;
    QString text;
    if (narrow) {
        text = decodeText(QByteArray(r.bytesAt(int(at)), qsizetype(n)));
    } else {
        std::u16string chars(size_t(n), u'\0');
        std::memcpy(chars.data(), r.bytesAt(int(at)), size_t(n) * 2);
        text = QString::fromStdU16String(chars);
    }
    const int boxed = options & 0x0100 ? 0 : options; // without a rectangle, its options do not apply
    QRectF box;
    if (textBox(rectAt(r, 28), boxed, box))
        Device::drawText(QPointF(r.i32At(0), r.i32At(4)), text, {}, boxed, box);
}

void Player::drawBitmap(const Record& r) {
    Blit b;
    int bmi = 0; // where the bitmap's offsets and sizes are: header, size, pixels, size
    uint32_t usage = 0;
    switch (r.function) {
    case 76:  // BitBlt
    case 77:  // StretchBlt
    case 114: // AlphaBlend
    case 116: // TransparentBlt
        b.dx = r.i32At(16);
        b.dy = r.i32At(20);
        b.dw = r.i32At(24);
        b.dh = r.i32At(28);
        b.sx = r.i32At(36);
        b.sy = r.i32At(40);
        b.sw = r.function == 76 ? b.dw : r.i32At(92);
        b.sh = r.function == 76 ? b.dh : r.i32At(96);
        usage = r.u32At(72);
        bmi = 76;
        if (r.function == 114) {
            b.constantAlpha = uint8_t(r.u32At(32) >> 16);
            if ((r.u32At(32) >> 24) & 1) b.alpha.kind = DibAlpha::PerPixel;
        } else if (r.function == 116) {
            const uint32_t key = r.u32At(32);
            b.alpha = {DibAlpha::ColourKey,
                       qRgb(int(key & 0xFF), int(key >> 8 & 0xFF), int(key >> 16 & 0xFF))};
        } else {
            b.rop = r.u32At(32);
        }
        if (r.u32At(80) == 0 && r.function <= 77) { // no bitmap: the brush through the operation
            patBlt(mapRect(QRectF(b.dx, b.dy, b.dw, b.dh)), b.rop);
            return;
        }
        break;
    case 80: // SetDIBitsToDevice: at its own size
    case 81: // StretchDIBits
        b.dx = r.i32At(16);
        b.dy = r.i32At(20);
        b.sx = r.i32At(24);
        b.sy = r.i32At(28);
        b.sw = r.i32At(32);
        b.sh = r.i32At(36);
        usage = r.u32At(56);
        bmi = 40;
        b.fromBottom = true;
        if (r.function == 81) {
            b.rop = r.u32At(60);
            b.dw = r.i32At(64);
            b.dh = r.i32At(68);
        } else {
            b.dw = b.sw;
            b.dh = b.sh;
        }
        break;
    default:
        return;
    }
    const qint64 headerAt = qint64(r.u32At(bmi)) - 8, headerBytes = r.u32At(bmi + 4);
    const qint64 bitsAt = qint64(r.u32At(bmi + 8)) - 8, bitsBytes = r.u32At(bmi + 12);
    if (!r.holds(headerAt, headerBytes) || !r.holds(bitsAt, bitsBytes)) {
        // Operations that use no source still draw.
        if (b.rop == 0x00000042 || b.rop == 0x00FF0062 || b.rop == 0x00F00021 || b.rop == 0x00550009)
            patBlt(mapRect(QRectF(b.dx, b.dy, b.dw, b.dh)), b.rop);
        return;
    }
    Dib dib;
    QString ignored;
    if (!readDib(r.bytesAt(int(headerAt)), qsizetype(headerBytes), r.bytesAt(int(bitsAt)),
                 qsizetype(bitsBytes), usage == 1, dib, ignored))
        return; // a bitmap its record cannot hold is left out
    Device::drawBitmap(dib, b);
}

// Gradients: vertices (place and 16-bit colour), then rectangles (two vertex indices) or
// triangles (three).
void Player::fillGradient(const Record& r) {
    const qint64 vertices = r.u32At(16), shapes = r.u32At(20);
    const uint32_t mode = r.u32At(24);
    const int corners = mode == 2 ? 3 : 2;
    if (overPoints(vertices) || overPoints(shapes) || mode > 2 || !r.holds(28, vertices * 16) ||
        !r.holds(28 + vertices * 16, shapes * 4 * corners))
        return;
    const auto vertex = [&](uint32_t i) {
        return QPointF(r.i32At(int(28 + 16 * i)), r.i32At(int(32 + 16 * i)));
    };
    const auto colour = [&](uint32_t i) {
        const int at = int(36 + 16 * i);
        return QColor(int(r.u32At(at) & 0xFFFF) >> 8, int(r.u32At(at) >> 16) >> 8,
                      int(r.u32At(at + 4) & 0xFFFF) >> 8);
    };
    const int at = int(28 + vertices * 16);
    for (qint64 i = 0; i < shapes && !failed(); ++i) {
        if (!charge(kFigureWork)) return;
        uint32_t index[3];
        bool valid = true;
        for (int k = 0; k < corners; ++k) {
            index[k] = r.u32At(int(at + (i * corners + k) * 4));
            valid = valid && index[k] < vertices;
        }
        if (!valid) continue;
        if (mode < 2) {
            Device::fillGradient(QRectF(vertex(index[0]), vertex(index[1])), colour(index[0]),
                                 colour(index[1]), mode == 0);
            continue;
        }
        // Triangles take the mean of their corners' colours.
        int red = 0, green = 0, blue = 0;
        for (const uint32_t k : index) {
            red += colour(k).red();
            green += colour(k).green();
            blue += colour(k).blue();
        }
        const DrawState kept = m_dc;
        m_dc.brush = Brush();
        m_dc.brush.colour = QColor(red / 3, green / 3, blue / 3);
        m_dc.pen.style = 5;
        m_dc.rop2 = 13;
        drawShape(map(QPolygonF{vertex(index[0]), vertex(index[1]), vertex(index[2])}), true);
        m_dc = kept;
    }
}

// Pattern brushes: a bitmap (its header and pixels apart), sampled down for the brush.
void Player::createPatternBrush(const Record& r) {
    Object o;
    o.kind = Object::Kind::Brush;
    o.brush.style = 3;
    o.brush.colour = Qt::gray;
    const qint64 headerAt = qint64(r.u32At(8)) - 8, headerBytes = r.u32At(12);
    const qint64 bitsAt = qint64(r.u32At(16)) - 8, bitsBytes = r.u32At(20);
    Dib dib;
    QString ignored;
    if (r.holds(headerAt, headerBytes) && r.holds(bitsAt, bitsBytes) &&
        readDib(r.bytesAt(int(headerAt)), qsizetype(headerBytes), r.bytesAt(int(bitsAt)),
                qsizetype(bitsBytes), r.u32At(4) == 1, dib, ignored)) {
        const QSize side = QSize(dib.width, dib.height).boundedTo(QSize(kPatternSide, kPatternSide));
        if (charge(qint64(side.width()) * side.height()))
            o.brush.pattern =
                DibSampler(dib, QRect(0, 0, dib.width, dib.height), side, qint64(kPatternSide) * kPatternSide)
                    .rows(0, side.height());
        o.bytes = o.brush.pattern.sizeInBytes();
    }
    if (o.brush.pattern.isNull()) o.brush.style = 0; // a pattern we cannot read: its grey
    createObject(r.u32At(0), std::move(o));
}

// Extended pens: a bitmap for their brush (not drawn), then the style, width, brush style,
// colour, hatch and the lengths of a style of the writer's own.
void Player::createExtPen(const Record& r) {
    Object o;
    o.kind = Object::Kind::Pen;
    Pen& p = o.pen;
    const uint32_t style = r.u32At(20);
    p.style = int(style);
    p.width = r.u32At(24);
    p.cosmetic = !(style & 0x00010000);
    p.colour = colourAt(r, 32);
    if (r.u32At(28) == 1) p.style = (p.style & ~0x0F) | 5; // a null brush draws nothing
    const qint64 entries = std::min<qint64>(r.u32At(40), kMaxDashes);
    if ((style & 0x0F) == 7 && r.holds(44, entries * 4))
        for (qint64 i = 0; i < entries; ++i)
            p.userDashes.push_back(r.u32At(int(44 + 4 * i)));
    createObject(r.u32At(0), std::move(o));
}

} // namespace imaging::emf
