#include "platform/imaging/metafiles/emfplayer.h"

#include "platform/imaging/formats/raster.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace imaging::emf {

using namespace metafile;

namespace {

constexpr qint64 kRecordWork = 256;          // reading and following one record
constexpr int kMaxObjects = 65536;           // the header counts handles in 16 bits
constexpr qint64 kMaxObjectBytes = 64 << 20; // pattern brushes and pens held at once

enum Type : uint32_t {
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExt = 9,
    kSetWindowOrg = 10,
    kSetViewportExt = 11,
    kSetViewportOrg = 12,
    kSetPixel = 15,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetPolyFillMode = 19,
    kSetRop2 = 20,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kOffsetClipRgn = 26,
    kMoveTo = 27,
    kExcludeClipRect = 29,
    kIntersectClipRect = 30,
    kScaleViewportExt = 31,
    kScaleWindowExt = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrush = 39,
    kDeleteObject = 40,
    kAngleArc = 41,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kCreatePalette = 49,
    kLineTo = 54,
    kArcTo = 55,
    kPolyDraw = 56,
    kSetArcDirection = 57,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kFillPath = 62,
    kStrokeAndFillPath = 63,
    kStrokePath = 64,
    kSelectClipPath = 67,
    kAbortPath = 68,
    kComment = 70,
    kFillRgn = 71,
    kInvertRgn = 73,
    kPaintRgn = 74,
    kExtSelectClipRgn = 75,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kCreateFont = 82,
    kExtTextOutA = 83,
    kExtTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kPolyDraw16 = 92,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrush = 94,
    kExtCreatePen = 95,
    kSmallTextOut = 108,
    kAlphaBlend = 114,
    kTransparentBlt = 116,
    kGradientFill = 118,
};

bool isDrawing(uint32_t type) {
    switch (type) {
    case kPolyBezier:
    case kPolygon:
    case kPolyline:
    case kPolyBezierTo:
    case kPolylineTo:
    case kPolyPolyline:
    case kPolyPolygon:
    case kSetPixel:
    case kAngleArc:
    case kEllipse:
    case kRectangle:
    case kRoundRect:
    case kArc:
    case kChord:
    case kPie:
    case kLineTo:
    case kArcTo:
    case kPolyDraw:
    case kFillPath:
    case kStrokeAndFillPath:
    case kStrokePath:
    case kFillRgn:
    case kInvertRgn:
    case kPaintRgn:
    case kBitBlt:
    case kStretchBlt:
    case kSetDiBitsToDevice:
    case kStretchDiBits:
    case kExtTextOutA:
    case kExtTextOutW:
    case kPolyBezier16:
    case kPolygon16:
    case kPolyline16:
    case kPolyBezierTo16:
    case kPolylineTo16:
    case kPolyPolyline16:
    case kPolyPolygon16:
    case kPolyDraw16:
    case kSmallTextOut:
    case kAlphaBlend:
    case kTransparentBlt:
    case kGradientFill:
        return true;
    default:
        return false;
    }
}

// Logical units a millimetre holds in the fixed map modes (y up), or 0.
double unitsPerMm(int mapMode) {
    switch (mapMode) {
    case 2:
        return 10; // tenths of a millimetre
    case 3:
        return 100; // hundredths of a millimetre
    case 4:
        return 100 / 25.4; // hundredths of an inch
    case 5:
        return 1000 / 25.4; // thousandths of an inch
    case 6:
        return 1440 / 25.4; // twips
    default:
        return 0;
    }
}

QTransform transformAt(const Record& r, int at) {
    return QTransform(r.f32At(at), r.f32At(at + 4), r.f32At(at + 8), r.f32At(at + 12), r.f32At(at + 16),
                      r.f32At(at + 20));
}

bool finite(const QTransform& t) {
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) &&
           std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy());
}

} // namespace

Player::Player(QImage& page, double dpi, const EmfHeader& header, int objects, qint64 workLimit)
    : Device(page, dpi, workLimit, QStringLiteral("EMF")), m_header(header) {
    const QRectF frame = header.frameInDevice();
    m_deviceToPage = QTransform::fromTranslate(-frame.left(), -frame.top()) *
                     QTransform::fromScale(page.width() / frame.width(), page.height() / frame.height());
    m_objects.resize(size_t(std::clamp(objects, 0, kMaxObjects)));
    updateMapping();
}

int Player::play(RecordReader& records, QString& error) {
    if (!begin(error)) return ApOverLimits;
    Record r;
    int code = ApOk;
    bool first = true;
    for (;;) {
        const RecordReader::Result result = records.next(r, code, error);
        if (result != RecordReader::Result::Record) break;
        if (std::exchange(first, false) && r.function == 1) continue; // the header
        if (!record(r)) break;
    }
    code = finish(code, error);
    if (code == ApOk && m_plusOnly && m_plusDrawing) {
        error = QStringLiteral("the EMF picture is drawn by EMF+ records, which are not read");
        return ApUnsupported;
    }
    return code;
}

void Player::updateMapping() {
    const Mapping& m = m_mapping;
    double sx = 1, sy = 1;
    if (const double perMm = unitsPerMm(m.mapMode); perMm > 0) {
        sx = m_header.device.width() / double(m_header.millimetres.width()) / perMm;
        sy = -m_header.device.height() / double(m_header.millimetres.height()) / perMm;
    } else if (m.mapMode == 7 || m.mapMode == 8) { // isotropic, anisotropic
        sx = m.windowExt.x() ? m.viewportExt.x() / m.windowExt.x() : 1;
        sy = m.windowExt.y() ? m.viewportExt.y() / m.windowExt.y() : 1;
        if (m.mapMode == 7) {
            const double scale = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(scale, sx);
            sy = std::copysign(scale, sy);
        }
    }
    const QTransform window = QTransform::fromTranslate(-m.windowOrg.x(), -m.windowOrg.y()) *
                              QTransform::fromScale(sx, sy) *
                              QTransform::fromTranslate(m.viewportOrg.x(), m.viewportOrg.y());
    // Text turns with the world transform, the same way round on the page as the mapping
    // shows the world.
    const double turn = std::atan2(m.world.m12(), m.world.m11()) * 180 / std::numbers::pi;
    setMapping(m.world * window * m_deviceToPage, sx * sy < 0 ? -turn : turn);
}

void Player::createObject(uint32_t index, Object object) {
    if (index == 0 || index >= m_objects.size()) return; // 0 is the picture itself
    Object& slot = m_objects[index];
    m_objectBytes += object.bytes - slot.bytes;
    if (m_objectBytes > kMaxObjectBytes) {
        fail(ApOverLimits, QStringLiteral("the EMF picture holds too many objects"));
        return;
    }
    slot = std::move(object);
}

void Player::selectObject(uint32_t index) {
    if (index & 0x80000000) { // a stock object
        const uint32_t stock = index & 0x7FFFFFFF;
        const int greys[] = {255, 192, 128, 64, 0};
        if (stock <= 4) {
            m_dc.brush = Brush();
            m_dc.brush.colour = QColor(greys[stock], greys[stock], greys[stock]);
        } else if (stock == 5) {
            m_dc.brush = Brush();
            m_dc.brush.style = 1;
        } else if (stock == 6 || stock == 7) {
            m_dc.pen = Pen();
            m_dc.pen.colour = stock == 6 ? Qt::white : Qt::black;
        } else if (stock == 8) {
            m_dc.pen = Pen();
            m_dc.pen.style = 5;
        } else if (stock >= 10 && stock <= 17 && stock != 15) {
            m_dc.font = Font();
            stateChanged();
        }
        return;
    }
    if (index >= m_objects.size()) return;
    const Object& o = m_objects[index];
    switch (o.kind) {
    case Object::Kind::Pen:
        m_dc.pen = o.pen;
        break;
    case Object::Kind::Brush:
        m_dc.brush = o.brush;
        break;
    case Object::Kind::Font:
        m_dc.font = o.font;
        stateChanged();
        break;
    default:
        break;
    }
}

void Player::deleteObject(uint32_t index) {
    if (index == 0 || index >= m_objects.size()) return;
    m_objectBytes -= m_objects[index].bytes;
    m_objects[index] = Object();
}

// Region data: a 32-byte header (its size, type, rectangle count, bytes, bounds), then
// rectangles in the reference device's pixels.
QRegion Player::regionAt(const Record& r, int at, qint64 bytes) {
    QRegion region;
    if (bytes < 32 || !r.holds(at, bytes)) return region;
    const qint64 count = std::min<qint64>(r.u32At(at + 8), (bytes - 32) / 16);
    if (!charge(count * 16)) return region;
    const auto rect = [&](int from) {
        const QRectF device(QPointF(r.i32At(from), r.i32At(from + 4)),
                            QPointF(r.i32At(from + 8), r.i32At(from + 12)));
        return m_deviceToPage.mapRect(device.normalized())
            .intersected(QRectF(-1, -1, m_page.width() + 2, m_page.height() + 2))
            .toAlignedRect();
    };
    if (count > kMaxClipRects) return QRegion(rect(at + 16)); // the bounds alone
    QList<QRect> rects;
    for (qint64 i = 0; i < count; ++i)
        if (const QRect page = rect(at + 32 + int(16 * i)); !page.isEmpty()) rects << page;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

// Comments that carry EMF+ records: 'EMF+', then records of a 16-bit type, flags, size and
// data size. Only whether the picture is EMF+ alone, and where its GDI records count, is kept.
void Player::emfPlusComment(const Record& r) {
    if (r.u32At(4) != 0x2B464D45) return;
    const qint64 end = std::min<qint64>(qint64(r.u32At(0)) + 4, r.params.size());
    for (qint64 at = 8; at + 12 <= end;) {
        const uint16_t type = uint16_t(r.u32At(int(at)) & 0xFFFF);
        const uint32_t size = r.u32At(int(at) + 4);
        if (type == 0x4001) // the header: its flags' lowest bit marks a picture drawn both ways
            m_plusOnly = !(r.u32At(int(at) + 16) & 1);
        else if (type == 0x4004) // GetDC: the GDI records that follow draw
            m_gdiAllowed = true;
        else if (type != 0x4002 && type != 0x4003) { // anything but the end and comments
            m_gdiAllowed = false;
            if (type >= 0x400A && type <= 0x401C) m_plusDrawing = true;
        }
        if (size < 12) break;
        at += size;
    }
}

bool Player::drawsNow(uint32_t type) const {
    return !m_plusOnly || m_gdiAllowed || !isDrawing(type);
}

QPointF Player::pointAt(const Record& r, int at, bool small) const {
    if (small) return QPointF(int16_t(r.u32At(at) & 0xFFFF), int16_t(r.u32At(at) >> 16));
    return QPointF(r.i32At(at), r.i32At(at + 4));
}

QRectF Player::rectAt(const Record& r, int at) const {
    return QRectF(QPointF(r.i32At(at), r.i32At(at + 4)), QPointF(r.i32At(at + 8), r.i32At(at + 12)))
        .normalized();
}

bool Player::record(const Record& r) {
    if (!charge(kRecordWork)) return false;
    if (!drawsNow(r.function)) return true;
    Mapping& m = m_mapping;
    DrawState& dc = m_dc;
    const auto point = [&](int at) { return QPointF(r.i32At(at), r.i32At(at + 4)); };
    switch (r.function) {
    case kSetWindowExt:
    case kSetViewportExt:
        if (r.i32At(0) != 0 && r.i32At(4) != 0) {
            (r.function == kSetWindowExt ? m.windowExt : m.viewportExt) = point(0);
            updateMapping();
        }
        break;
    case kSetWindowOrg:
        m.windowOrg = point(0);
        updateMapping();
        break;
    case kSetViewportOrg:
        m.viewportOrg = point(0);
        updateMapping();
        break;
    case kScaleViewportExt:
    case kScaleWindowExt: {
        const double xNum = r.i32At(0), xDen = r.i32At(4), yNum = r.i32At(8), yDen = r.i32At(12);
        if (!xNum || !xDen || !yNum || !yDen) break;
        QPointF& ext = r.function == kScaleWindowExt ? m.windowExt : m.viewportExt;
        ext = QPointF(ext.x() * xNum / xDen, ext.y() * yNum / yDen);
        if (ext.x() == 0 || ext.y() == 0) ext = QPointF(1, 1);
        updateMapping();
        break;
    }
    case kSetMapMode:
        if (r.u32At(0) >= 1 && r.u32At(0) <= 8) {
            m.mapMode = int(r.u32At(0));
            updateMapping();
        }
        break;
    case kSetWorldTransform:
    case kModifyWorldTransform: {
        const QTransform x = transformAt(r, 0);
        const uint32_t mode = r.function == kSetWorldTransform ? 4 : r.u32At(24);
        QTransform world = m.world;
        if (mode == 1)
            world = QTransform();
        else if (mode == 2)
            world = x * m.world; // the new transform first, then the old
        else if (mode == 3)
            world = m.world * x;
        else if (mode == 4)
            world = x;
        if (finite(world) && world.determinant() != 0) {
            m.world = world;
            updateMapping();
        }
        break;
    }
    case kSetBkMode:
        dc.backgroundMode = int(r.u32At(0));
        break;
    case kSetBkColor:
        dc.backgroundColour = colourAt(r, 0);
        break;
    case kSetTextColor:
        dc.textColour = colourAt(r, 0);
        break;
    case kSetPolyFillMode:
        dc.fillMode = int(r.u32At(0));
        break;
    case kSetRop2:
        dc.rop2 = int(r.u32At(0));
        break;
    case kSetTextAlign:
        dc.textAlign = int(r.u32At(0));
        break;
    case kSetArcDirection:
        dc.clockwiseArcs = r.u32At(0) == 2;
        break;
    case kSaveDc:
        m_saved.save({m_dc, m_mapping});
        break;
    case kRestoreDc: {
        Saved state{m_dc, m_mapping};
        if (r.i32At(0) < 0 && m_saved.restore(r.i32At(0), state)) {
            m_dc = state.dc;
            m_mapping = state.mapping;
            stateChanged();
            updateMapping();
        }
        break;
    }

    case kCreatePen: {
        Object o;
        o.kind = Object::Kind::Pen;
        o.pen.style = int(r.u32At(4));
        o.pen.width = std::abs(r.i32At(8));
        o.pen.colour = colourAt(r, 16);
        createObject(r.u32At(0), std::move(o));
        break;
    }
    case kExtCreatePen:
        createExtPen(r);
        break;
    case kCreateBrush: {
        Object o;
        o.kind = Object::Kind::Brush;
        const uint32_t style = r.u32At(4);
        o.brush.style = style == 1 || style == 2 ? int(style) : 0;
        o.brush.colour = colourAt(r, 8);
        o.brush.hatch = int(std::min<uint32_t>(r.u32At(12), 5));
        createObject(r.u32At(0), std::move(o));
        break;
    }
    case kCreateMonoBrush:
    case kCreateDibPatternBrush:
        createPatternBrush(r);
        break;
    case kCreateFont: {
        Object o;
        o.kind = Object::Kind::Font;
        Font& f = o.font;
        f.height = r.i32At(4);
        f.width = r.i32At(8);
        f.escapement = r.i32At(12);
        f.weight = r.i32At(20);
        const auto byte = [&](int at) { return r.holds(at, 1) ? uint8_t(r.params[at]) : 0; };
        f.italic = byte(24);
        f.underline = byte(25);
        f.strikeOut = byte(26);
        f.charset = byte(27);
        if (r.holds(32, 64)) {
            f.face = QString::fromUtf16(reinterpret_cast<const char16_t*>(r.bytesAt(32)), 32);
            f.face.truncate(f.face.indexOf(QChar(0)) < 0 ? f.face.size() : f.face.indexOf(QChar(0)));
        }
        createObject(r.u32At(0), std::move(o));
        break;
    }
    case kCreatePalette: {
        Object o;
        o.kind = Object::Kind::Other;
        createObject(r.u32At(0), std::move(o));
        break;
    }
    case kSelectObject:
        selectObject(r.u32At(0));
        break;
    case kDeleteObject:
        deleteObject(r.u32At(0));
        break;

    case kExtSelectClipRgn: {
        const uint32_t mode = r.u32At(4);
        if (mode == 5 && r.u32At(0) < 32) { // a copy of no region: clipping ends
            resetClip();
            break;
        }
        combineClip(regionAt(r, 8, r.u32At(0)), int(mode));
        break;
    }
    case kIntersectClipRect:
    case kExcludeClipRect: {
        const QRect rect = mapRect(rectAt(r, 0))
                               .boundingRect()
                               .intersected(QRectF(-1, -1, m_page.width() + 2, m_page.height() + 2))
                               .toAlignedRect();
        combineClip(QRegion(rect), r.function == kIntersectClipRect ? 1 : 4);
        break;
    }
    case kOffsetClipRgn:
        if (dc.clipped) {
            const QPointF by = map(point(0)) - map(QPointF(0, 0));
            clipTo(dc.clip.translated(qRound(std::clamp(by.x(), -1e6, 1e6)),
                                      qRound(std::clamp(by.y(), -1e6, 1e6))));
        }
        break;
    case kComment:
        emfPlusComment(r);
        break;

    case kMoveTo:
        dc.position = point(0);
        if (m_inPath) addFigure(QPolygonF{map(dc.position)}, false);
        break;
    case kLineTo: {
        const QPointF to = point(0);
        if (m_inPath)
            extendFigure(QPolygonF{map(to)});
        else
            drawLine(QPolygonF{map(dc.position), map(to)});
        dc.position = to;
        break;
    }
    case kRectangle:
        drawClosed(mapRect(rectAt(r, 0)));
        break;
    case kRoundRect:
        drawClosed(mapRoundedRect(rectAt(r, 0), std::abs(r.i32At(16)) / 2.0, std::abs(r.i32At(20)) / 2.0));
        break;
    case kEllipse:
        drawClosed(mapArc(rectAt(r, 0), 0, 2 * std::numbers::pi));
        break;
    case kArc:
    case kChord:
    case kPie:
    case kArcTo: {
        const QRectF box = rectAt(r, 0);
        if (!m_inPath && r.function != kArcTo) {
            Device::drawArc(box, point(16), point(24), r.function == kArc ? 0 : r.function == kPie ? 1 : 2);
            break;
        }
        const double a = ellipseAngle(box, point(16)), b = ellipseAngle(box, point(24));
        double sweep = dc.clockwiseArcs ? a - b : b - a;
        while (sweep <= 0)
            sweep += 2 * std::numbers::pi;
        QPolygonF arc = mapArc(box, a, dc.clockwiseArcs ? -sweep : sweep);
        if (r.function == kPie) arc.prepend(map(box.center()));
        if (r.function == kArcTo) { // a line from the current position to the arc, which ends there
            if (m_inPath)
                extendFigure(arc);
            else
                drawLine(QPolygonF{map(dc.position)} << arc);
            const QPointF centre = box.center();
            const double t = dc.clockwiseArcs ? a - sweep : a + sweep;
            dc.position = QPointF(centre.x() + box.width() / 2 * std::cos(t),
                                  centre.y() - box.height() / 2 * std::sin(t));
        } else if (r.function == kArc) {
            addFigure(arc, false);
        } else {
            addFigure(arc, true);
        }
        break;
    }
    case kAngleArc: {
        const QPointF centre = point(0);
        const double radius = r.u32At(8), start = r.f32At(12) * std::numbers::pi / 180,
                     sweep = r.f32At(16) * std::numbers::pi / 180;
        if (!std::isfinite(start) || !std::isfinite(sweep)) break;
        const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        const QPolygonF arc =
            mapArc(box, start, std::clamp(sweep, -2 * std::numbers::pi, 2 * std::numbers::pi));
        if (m_inPath)
            extendFigure(arc);
        else
            drawLine(QPolygonF{map(dc.position)} << arc);
        const double t = start + sweep;
        dc.position = QPointF(centre.x() + radius * std::cos(t), centre.y() - radius * std::sin(t));
        break;
    }
    case kPolyBezier:
    case kPolygon:
    case kPolyline:
    case kPolyBezierTo:
    case kPolylineTo:
        return drawPoints(r, false);
    case kPolyBezier16:
    case kPolygon16:
    case kPolyline16:
    case kPolyBezierTo16:
    case kPolylineTo16:
        return drawPoints(r, true);
    case kPolyPolyline:
    case kPolyPolygon:
        return drawPolyPoints(r, false);
    case kPolyPolyline16:
    case kPolyPolygon16:
        return drawPolyPoints(r, true);
    case kPolyDraw:
        return drawPolyDraw(r, false);
    case kPolyDraw16:
        return drawPolyDraw(r, true);
    case kSetPixel:
        setPixel(map(point(0)), colourAt(r, 8));
        break;

    case kBeginPath:
    case kEndPath:
    case kCloseFigure:
    case kFillPath:
    case kStrokeAndFillPath:
    case kStrokePath:
    case kSelectClipPath:
    case kAbortPath:
        return pathOp(r);

    case kFillRgn:
    case kPaintRgn:
    case kInvertRgn: {
        const bool fill = r.function == kFillRgn;
        const int at = fill ? 24 : 20;
        const QRegion region = regionAt(r, at, r.u32At(16));
        if (fill) {
            const uint32_t brush = r.u32At(20);
            if (brush < m_objects.size() && m_objects[brush].kind == Object::Kind::Brush)
                fillRegion(region, m_objects[brush].brush);
        } else {
            fillRegion(region, dc.brush, r.function == kInvertRgn);
        }
        break;
    }
    case kExtTextOutA:
    case kExtTextOutW:
        drawText(r, r.function == kExtTextOutW);
        break;
    case kSmallTextOut:
        drawSmallText(r);
        break;
    case kBitBlt:
    case kStretchBlt:
    case kSetDiBitsToDevice:
    case kStretchDiBits:
    case kAlphaBlend:
    case kTransparentBlt:
        drawBitmap(r);
        break;
    case kGradientFill:
        fillGradient(r);
        break;
    default:
        break; // records that do not change the picture here
    }
    return !failed();
}

} // namespace imaging::emf
