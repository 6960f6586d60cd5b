#include "platform/imaging/metafiles/wmfplayer.h"

#include "platform/imaging/formats/raster.h"
#include "platform/imaging/metafiles/metafiledib.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace imaging::wmf {

using namespace metafile;

namespace {

constexpr qint64 kRecordWork = 256;          // reading and following one record
constexpr int kMaxObjects = 65536;           // the records' indices are 16 bits
constexpr qint64 kMaxObjectBytes = 64 << 20; // regions and pattern brushes held at once
constexpr int kMaxWmfClipRects = 1024;      // a clip made of more is not cut further
constexpr int kPatternSide = 256;           // pattern brushes are sampled down to this
constexpr size_t kMaxRegionRects = 1 << 20; // a region keeps no more rectangles than this

enum MapMode { kText = 1, kIsotropic = 7 };

bool isDrawing(uint16_t function) {
    switch (function) {
    case kLineTo:
    case kRectangle:
    case kRoundRect:
    case kEllipse:
    case kArc:
    case kPie:
    case kChord:
    case kPolygon:
    case kPolyline:
    case kPolyPolygon:
    case kSetPixel:
    case kTextOut:
    case kExtTextOut:
    case kPatBlt:
    case kBitBlt:
    case kStretchBlt:
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev:
    case kFillRegion:
    case kPaintRegion:
    case kFrameRegion:
    case kInvertRegion:
        return true;
    default:
        return false;
    }
}

// A COLORREF: red, green, blue, then a flag byte; a palette index stands for a standard colour.
QColor colourAt(const Record& r, int word) {
    const uint32_t v = r.u32(word);
    if ((v >> 24) == 1) {
        static const QColor standard[] = {Qt::black,    Qt::darkRed,     Qt::darkGreen, Qt::darkYellow,
                                          Qt::darkBlue, Qt::darkMagenta, Qt::darkCyan,  Qt::lightGray,
                                          Qt::gray,     Qt::red,         Qt::green,     Qt::yellow,
                                          Qt::blue,     Qt::magenta,     Qt::cyan,      Qt::white};
        return standard[(v & 0xFFFF) % 16];
    }
    return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF));
}

// Scan lines of a region record: each a count of x values, its top and bottom, the x
// values in pairs, and the count again.
std::vector<QRect> regionRects(const Record& r) {
    std::vector<QRect> rects;
    const int scans = r.u16(5);
    int at = 11;
    for (int scan = 0; scan < scans; ++scan) {
        const int count = r.u16(at);
        if (count % 2 || at + 3 + count + 1 > r.words()) break;
        const int top = r.s16(at + 1), bottom = r.s16(at + 2);
        for (int i = 0; i < count && rects.size() < kMaxRegionRects; i += 2) {
            const int left = r.s16(at + 3 + i), right = r.s16(at + 4 + i);
            if (right > left && bottom > top) rects.emplace_back(left, top, right - left, bottom - top);
        }
        at += 3 + count + 1;
    }
    if (rects.empty() && r.words() >= 11) { // the bounds alone
        const int left = r.s16(7), top = r.s16(8), right = r.s16(9), bottom = r.s16(10);
        if (right > left && bottom > top) rects.emplace_back(left, top, right - left, bottom - top);
    }
    return rects;
}

} // namespace

double unitsPerInch(int mapMode) {
    switch (mapMode) {
    case 2:
        return 254; // tenths of a millimetre
    case 3:
        return 2540; // hundredths of a millimetre
    case 4:
        return 100; // hundredths of an inch
    case 5:
        return 1000; // thousandths of an inch
    case 6:
        return 1440; // twips
    default:
        return 0;
    }
}

int windowSizeInches(RecordReader& records, QSizeF& inches, QPointF& origin, QSizeF& extent, QString& error) {
    int mapMode = kText;
    bool sized = false;
    Record r;
    int code = ApOk;
    for (;;) {
        const RecordReader::Result result = records.next(r, code, error);
        if (result == RecordReader::Result::Error) return code;
        if (result == RecordReader::Result::End || isDrawing(r.function)) break;
        if (r.function == kSetMapMode && r.u16(0) >= 1 && r.u16(0) <= 8)
            mapMode = r.u16(0);
        else if (r.function == kSetWindowOrg)
            origin = QPointF(r.s16(1), r.s16(0));
        else if (r.function == kSetWindowExt && r.s16(0) != 0 && r.s16(1) != 0) {
            extent = QSizeF(r.s16(1), r.s16(0));
            sized = true;
        }
    }
    if (!sized) {
        error = QStringLiteral("WMF picture without a size");
        return ApCorrupt;
    }
    // Sizes in logical units without a unit of their own are taken as twips: any 16-bit
    // extent then fits on a page (22.75 inches at most).
    const double perInch = unitsPerInch(mapMode) > 0 ? unitsPerInch(mapMode) : 1440;
    inches = QSizeF(std::fabs(extent.width()) / perInch, std::fabs(extent.height()) / perInch);
    return ApOk;
}

Player::Player(QImage& page, double dpi, const QRectF& window, int objects, qint64 workLimit)
    : Device(page, dpi, workLimit, QStringLiteral("WMF")) {
    m_mapping.windowOrg = window.topLeft();
    m_mapping.windowExt = QPointF(window.width(), window.height());
    m_objects.resize(size_t(std::clamp(objects, 0, kMaxObjects)));
    updateMapping();
}

int Player::play(RecordReader& records, QString& error) {
    if (!begin(error)) return ApOverLimits;
    Record r;
    int code = ApOk;
    for (;;) {
        const RecordReader::Result result = records.next(r, code, error);
        if (result != RecordReader::Result::Record || !record(r)) break;
    }
    return finish(code, error);
}

void Player::updateMapping() {
    const Mapping& s = m_mapping;
    const double w = m_page.width(), h = m_page.height();
    const double perInch = unitsPerInch(s.mapMode);
    double sx, sy, vx, vy; // page pixels per logical and per viewport unit
    if (perInch > 0) {     // fixed units, y up
        sx = m_dpi / perInch;
        sy = -sx;
        vx = vy = m_dpi / 96;
    } else {
        const double wx = s.windowExt.x() ? s.windowExt.x() : 1, wy = s.windowExt.y() ? s.windowExt.y() : 1;
        sx = w / wx;
        sy = h / wy;
        if (s.mapMode == kIsotropic) {
            const double scale = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(scale, sx);
            sy = std::copysign(scale, sy);
        }
        vx = s.viewportExtSet ? w / s.viewportExt.x() : std::fabs(sx);
        vy = s.viewportExtSet ? h / s.viewportExt.y() : std::fabs(sy);
    }
    const double ox = -s.windowOrg.x() * sx + s.viewportOrg.x() * vx;
    const double oy = -s.windowOrg.y() * sy + s.viewportOrg.y() * vy;
    setMapping(QTransform(sx, 0, 0, sy, ox, oy));
}

QRectF Player::logicalRect(const Record& r, int word) const {
    return QRectF(QPointF(r.s16(word + 3), r.s16(word + 2)), QPointF(r.s16(word + 1), r.s16(word))).normalized();
}

Player::Object* Player::objectAt(int index) {
    if (index < 0 || size_t(index) >= m_objects.size() ||
        m_objects[size_t(index)].kind == Object::Kind::Empty)
        return nullptr;
    return &m_objects[size_t(index)];
}

void Player::createObject(Object object) {
    // The lowest free index, as the records' writer numbered them.
    size_t slot = 0;
    while (slot < m_objects.size() && m_objects[slot].kind != Object::Kind::Empty)
        ++slot;
    if (!charge(qint64(slot))) return;
    if (slot == m_objects.size()) {
        if (slot >= size_t(kMaxObjects)) return; // the writer's own player would have failed this one too
        m_objects.emplace_back();
    }
    m_objectBytes += object.bytes;
    if (m_objectBytes > kMaxObjectBytes) {
        fail(ApOverLimits, QStringLiteral("the WMF picture holds too many objects"));
        return;
    }
    m_objects[slot] = std::move(object);
}

QRegion Player::regionOnPage(const std::vector<QRect>& rects) const {
    QRegion region;
    if (rects.size() > size_t(kMaxWmfClipRects)) { // the bounds alone
        QRect bounds;
        for (const QRect& r : rects)
            bounds |= r;
        return regionOnPage({bounds});
    }
    for (const QRect& r : rects)
        region +=
            QRectF(map(r.left(), r.top()), map(double(r.left()) + r.width(), double(r.top()) + r.height()))
                .normalized()
                .toAlignedRect()
                .intersected(QRect(-1, -1, m_page.width() + 2, m_page.height() + 2));
    return region;
}

bool Player::record(const Record& r) {
    if (!charge(kRecordWork)) return false;
    Mapping& s = m_mapping;
    DrawState& dc = m_dc;
    switch (r.function) {
    case kSetWindowOrg:
        s.windowOrg = QPointF(r.s16(1), r.s16(0));
        updateMapping();
        break;
    case kSetWindowExt:
        if (r.s16(0) != 0 && r.s16(1) != 0) {
            s.windowExt = QPointF(r.s16(1), r.s16(0));
            updateMapping();
        }
        break;
    case kSetViewportOrg:
        s.viewportOrg = QPointF(r.s16(1), r.s16(0));
        updateMapping();
        break;
    case kSetViewportExt:
        if (r.s16(0) != 0 && r.s16(1) != 0) {
            s.viewportExt = QPointF(r.s16(1), r.s16(0));
            s.viewportExtSet = true;
            updateMapping();
        }
        break;
    case kOffsetWindowOrg:
        s.windowOrg += QPointF(r.s16(1), r.s16(0));
        updateMapping();
        break;
    case kOffsetViewportOrg:
        s.viewportOrg += QPointF(r.s16(1), r.s16(0));
        updateMapping();
        break;
    case kScaleWindowExt:
    case kScaleViewportExt: {
        const double yDenominator = r.s16(0), yNumerator = r.s16(1), xDenominator = r.s16(2),
                     xNumerator = r.s16(3);
        if (!xDenominator || !yDenominator || !xNumerator || !yNumerator) break;
        QPointF& ext = r.function == kScaleWindowExt ? s.windowExt : s.viewportExt;
        if (r.function == kScaleViewportExt && !s.viewportExtSet) {
            s.viewportExt = s.windowExt;
            s.viewportExtSet = true;
        }
        ext = QPointF(ext.x() * xNumerator / xDenominator, ext.y() * yNumerator / yDenominator);
        if (ext.x() == 0 || ext.y() == 0) ext = QPointF(1, 1);
        updateMapping();
        break;
    }
    case kSetMapMode:
        if (r.u16(0) >= 1 && r.u16(0) <= 8) {
            s.mapMode = r.u16(0);
            updateMapping();
        }
        break;
    case kSetBkMode:
        dc.backgroundMode = r.u16(0);
        break;
    case kSetBkColor:
        dc.backgroundColour = colourAt(r, 0);
        break;
    case kSetTextColor:
        dc.textColour = colourAt(r, 0);
        break;
    case kSetPolyFillMode:
        dc.fillMode = r.u16(0);
        break;
    case kSetRop2:
        dc.rop2 = r.u16(0);
        break;
    case kSetTextAlign:
        dc.textAlign = r.u16(0);
        break;
    case kSaveDc:
        m_saved.save({m_dc, m_mapping});
        break;
    case kRestoreDc: {
        Saved state{m_dc, m_mapping};
        if (m_saved.restore(r.s16(0), state)) {
            m_dc = state.dc;
            m_mapping = state.mapping;
            stateChanged();
            updateMapping();
        }
        break;
    }

    case kCreatePenIndirect: {
        Object o;
        o.kind = Object::Kind::Pen;
        o.pen.style = r.u16(0);
        o.pen.width = std::abs(r.s16(1));
        o.pen.colour = colourAt(r, 3);
        createObject(std::move(o));
        break;
    }
    case kCreateBrushIndirect: {
        Object o;
        o.kind = Object::Kind::Brush;
        const int style = r.u16(0);
        o.brush.style = style == 1 || style == 2 ? style : 0;
        o.brush.colour = colourAt(r, 1);
        o.brush.hatch = r.u16(3);
        createObject(std::move(o));
        break;
    }
    case kDibCreatePatternBrush:
    case kCreatePatternBrush: {
        Object o;
        o.kind = Object::Kind::Brush;
        o.brush.style = 3;
        o.brush.colour = Qt::gray;
        Dib dib;
        QString ignored;
        if (r.function == kDibCreatePatternBrush && r.u16(0) != 3 && r.holds(4, 0) &&
            readDib(r.bytesAt(4), r.params.size() - 4, r.u16(1) == 1, dib, ignored)) {
            const QSize side = QSize(dib.width, dib.height).boundedTo(QSize(kPatternSide, kPatternSide));
            if (charge(qint64(side.width()) * side.height()))
                o.brush.pattern = DibSampler(dib, QRect(0, 0, dib.width, dib.height), side,
                                             qint64(kPatternSide) * kPatternSide)
                                      .rows(0, side.height());
            o.bytes = o.brush.pattern.sizeInBytes();
        }
        if (o.brush.pattern.isNull()) o.brush.style = 0; // a pattern we cannot read: its grey
        createObject(std::move(o));
        break;
    }
    case kCreateFontIndirect: {
        Object o;
        o.kind = Object::Kind::Font;
        Font& f = o.font;
        f.height = r.s16(0);
        f.width = r.s16(1);
        f.escapement = r.s16(2);
        f.weight = r.s16(4);
        const auto byte = [&](int at) { return r.holds(at, 1) ? uint8_t(r.params[at]) : 0; };
        f.italic = byte(10);
        f.underline = byte(11);
        f.strikeOut = byte(12);
        f.charset = byte(13);
        QByteArray face = r.params.mid(18, 32);
        face.truncate(face.indexOf('\0') < 0 ? face.size() : face.indexOf('\0'));
        f.face = QString::fromLatin1(face);
        createObject(std::move(o));
        break;
    }
    case kCreateRegion: {
        Object o;
        o.kind = Object::Kind::Region;
        o.region = regionRects(r);
        o.bytes = qint64(o.region.size() * sizeof(QRect));
        createObject(std::move(o));
        break;
    }
    case kCreatePalette: {
        Object o;
        o.kind = Object::Kind::Other;
        createObject(std::move(o));
        break;
    }
    case kSelectObject:
        if (Object* o = objectAt(r.u16(0))) {
            switch (o->kind) {
            case Object::Kind::Pen:
                dc.pen = o->pen;
                break;
            case Object::Kind::Brush:
                dc.brush = o->brush;
                break;
            case Object::Kind::Font:
                dc.font = o->font;
                stateChanged();
                break;
            case Object::Kind::Region:
                if (!charge(qint64(o->region.size()) * 16)) return false;
                clipTo(regionOnPage(o->region));
                break;
            default:
                break;
            }
        }
        break;
    case kDeleteObject:
        if (Object* o = objectAt(r.u16(0))) {
            m_objectBytes -= o->bytes;
            *o = Object();
        }
        break;
    case kSelectClipRegion:
        if (Object* o = objectAt(r.u16(0)); o && o->kind == Object::Kind::Region) {
            if (!charge(qint64(o->region.size()) * 16)) return false;
            clipTo(regionOnPage(o->region));
        } else {
            resetClip();
        }
        break;
    case kIntersectClipRect:
    case kExcludeClipRect: {
        const QRect rect = mapRect(logicalRect(r, 0)).boundingRect().toAlignedRect();
        const QRegion base = dc.clipped ? dc.clip : QRegion(0, 0, m_page.width(), m_page.height());
        const QRegion cut = r.function == kIntersectClipRect ? base & rect : base - rect;
        if (!charge(qint64(cut.rectCount()) * 16)) return false;
        if (cut.rectCount() <= kMaxWmfClipRects) clipTo(cut);
        break;
    }
    case kOffsetClipRgn:
        if (dc.clipped) {
            clipTo(dc.clip.translated(qRound(std::clamp(r.s16(1) * scaleX(), -1e6, 1e6)),
                                      qRound(std::clamp(r.s16(0) * scaleY(), -1e6, 1e6))));
        }
        break;

    case kMoveTo:
        dc.position = QPointF(r.s16(1), r.s16(0));
        break;
    case kLineTo: {
        const QPointF to(r.s16(1), r.s16(0));
        drawLine(QPolygonF{Device::map(dc.position), Device::map(to)});
        dc.position = to;
        break;
    }
    case kRectangle:
        drawShape(mapRect(logicalRect(r, 0)), true);
        break;
    case kRoundRect:
        drawShape(mapRoundedRect(logicalRect(r, 2), std::abs(r.s16(1)) / 2.0, std::abs(r.s16(0)) / 2.0), true);
        break;
    case kEllipse:
        drawShape(mapArc(logicalRect(r, 0), 0, 2 * std::numbers::pi), true);
        break;
    case kArc:
        drawArc(r, 0);
        break;
    case kPie:
        drawArc(r, 1);
        break;
    case kChord:
        drawArc(r, 2);
        break;
    case kPolygon:
    case kPolyline: {
        const int n = r.u16(0);
        if (r.words() < 1 + 2 * n) break;
        QPolygonF points;
        points.reserve(n);
        for (int i = 0; i < n; ++i)
            points << map(r.s16(1 + 2 * i), r.s16(2 + 2 * i));
        if (r.function == kPolygon)
            drawShape(points, true);
        else
            drawLine(points);
        break;
    }
    case kPolyPolygon:
        drawPolyPolygon(r);
        break;
    case kSetPixel:
        setPixel(map(r.s16(3), r.s16(2)), colourAt(r, 0));
        break;
    case kTextOut: {
        const int n = r.u16(0);
        const int words = (n + 1) / 2;
        if (r.words() < 1 + words + 2) break;
        drawText(QPointF(r.s16(2 + words), r.s16(1 + words)), decodeText(r.params.mid(2, n)), {}, 0, QRectF());
        break;
    }
    case kExtTextOut: {
        const int n = r.u16(2), options = r.u16(3);
        int at = 8;
        QRectF box;
        if (options & 0x0006) { // opaque or clipped: a rectangle follows
            if (!r.holds(at, 8)) break;
            box = QRectF(map(r.s16(4), r.s16(5)), map(r.s16(6), r.s16(7))).normalized();
            at += 8;
        }
        if (!r.holds(at, n)) break;
        const QByteArray text = r.params.mid(at, n);
        at += (n + 1) & ~1;
        std::vector<double> dx;
        if (r.holds(at, 2 * qint64(n))) {
            dx.reserve(size_t(n));
            for (int i = 0; i < n; ++i)
                dx.push_back(r.s16(at / 2 + i));
        }
        drawText(QPointF(r.s16(1), r.s16(0)), decodeText(text), dx, options, box);
        break;
    }
    case kPatBlt:
        patBlt(r, -1);
        break;
    case kBitBlt:
    case kStretchBlt:
        // Only the form without a bitmap (a pattern fill); the old device bitmaps are not drawn.
        if (r.words() == int(r.function >> 8)) patBlt(r, r.function == kBitBlt ? 2 : 4);
        break;
    case kDibBitBlt:
    case kDibStretchBlt:
        if (r.words() == int(r.function >> 8)) { // without a bitmap: a pattern fill, as above
            patBlt(r, r.function == kDibBitBlt ? 2 : 4);
            break;
        }
        [[fallthrough]];
    case kStretchDib:
    case kSetDibToDev: {
        Blit b;
        int dibAt = 0;
        bool paletteIndices = false;
        const auto words = [&](std::initializer_list<double*> fields, int from) {
            for (double* f : fields)
                *f = r.s16(from++);
        };
        if (r.function == kDibBitBlt) {
            b.rop = r.u32(0);
            words({&b.sy, &b.sx, &b.sh, &b.sw, &b.dy, &b.dx}, 2);
            dibAt = 16;
        } else if (r.function == kDibStretchBlt) {
            b.rop = r.u32(0);
            words({&b.sh, &b.sw, &b.sy, &b.sx, &b.dh, &b.dw, &b.dy, &b.dx}, 2);
            dibAt = 20;
        } else if (r.function == kStretchDib) {
            b.rop = r.u32(0);
            paletteIndices = r.u16(2) == 1;
            words({&b.sh, &b.sw, &b.sy, &b.sx, &b.dh, &b.dw, &b.dy, &b.dx}, 3);
            dibAt = 22;
            b.fromBottom = true;
        } else {
            paletteIndices = r.u16(0) == 1;
            words({&b.sy, &b.sx, &b.sh, &b.sw, &b.dy, &b.dx}, 3);
            dibAt = 18;
            b.fromBottom = true;
        }
        if (r.function == kDibBitBlt || r.function == kSetDibToDev) { // drawn at its own size
            b.dw = b.sw;
            b.dh = b.sh;
        }
        drawBitmap(r, b, dibAt, paletteIndices);
        break;
    }
    case kFillRegion:
    case kPaintRegion: {
        const Object* region = objectAt(r.u16(0));
        const Object* brush = r.function == kFillRegion ? objectAt(r.u16(1)) : nullptr;
        if (!region || region->kind != Object::Kind::Region ||
            (r.function == kFillRegion && (!brush || brush->kind != Object::Kind::Brush)))
            break;
        if (!charge(qint64(region->region.size()) * 16)) return false;
        fillRegion(regionOnPage(region->region), brush ? brush->brush : dc.brush);
        break;
    }
    default:
        break; // records that do not change the picture here
    }
    return !failed();
}

void Player::patBlt(const Record& r, int at) {
    if (at < 0) { // PATBLT: the operation, then height, width, y, x
        const double h = r.s16(2), w = r.s16(3), y = r.s16(4), x = r.s16(5);
        Device::patBlt(mapRect(QRectF(x, y, w, h)), r.u32(0));
        return;
    }
    const double h = r.s16(at + 3), w = r.s16(at + 4), y = r.s16(at + 5), x = r.s16(at + 6);
    Device::patBlt(mapRect(QRectF(x, y, w, h)), r.u32(0));
}

void Player::drawBitmap(const Record& r, const metafile::Blit& b, int dibAt, bool paletteIndices) {
    metafile::Dib dib;
    QString ignored;
    if (!r.holds(dibAt, 0) ||
        !metafile::readDib(r.bytesAt(dibAt), r.params.size() - dibAt, paletteIndices, dib, ignored))
        return; // a bitmap its record cannot hold is left out
    Device::drawBitmap(dib, b);
}

void Player::drawPolyPolygon(const Record& r) {
    const int polygons = r.u16(0);
    qint64 total = 0;
    for (int i = 0; i < polygons; ++i)
        total += r.u16(1 + i);
    if (r.words() < 1 + polygons + 2 * total) return;
    std::vector<QPolygonF> shapes;
    int at = 1 + polygons;
    for (int i = 0; i < polygons; ++i) {
        const int n = r.u16(1 + i);
        QPolygonF points;
        points.reserve(n);
        for (int j = 0; j < n; ++j, at += 2)
            points << map(r.s16(at), r.s16(at + 1));
        shapes.push_back(std::move(points));
    }
    drawPolygons(shapes, true, true);
}

// Arc (0), pie (1) or chord (2): the record holds the end point, the start point, then the box.
void Player::drawArc(const Record& r, int kind) {
    Device::drawArc(logicalRect(r, 4), QPointF(r.s16(3), r.s16(2)), QPointF(r.s16(1), r.s16(0)), kind);
}

} // namespace imaging::wmf
