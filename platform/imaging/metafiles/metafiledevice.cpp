#include "platform/imaging/metafiles/metafiledevice.h"

#include "platform/imaging/formats/raster.h"

#include <algorithm>
#include <cmath>

namespace imaging::metafile {

namespace {

constexpr qint64 kMaxClipProduct = qint64(1) << 20; // rectangles of one region times the other's
constexpr qint64 kClipRectWork = 64;                // a rectangle of a region combined into the clip

} // namespace

Device::Device(QImage& page, double dpi, qint64 workLimit, QString kind)
    : m_page(page), m_dpi(dpi), m_kind(std::move(kind)), m_workLimit(workLimit) {}

bool Device::begin(QString& error) {
    if (!m_painter.begin(&m_page)) {
        error = QStringLiteral("cannot draw the %1 picture").arg(m_kind);
        return false;
    }
    // Shapes have hard edges, as their writer's screen drew them, and cost what the rows they
    // cross cost (Qt's smoothing costs a shape's whole bounds, and far more where its edges
    // cross); text keeps Qt's text smoothing.
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    return true;
}

int Device::finish(int code, QString& error) {
    m_painter.end();
    if (m_code != ApOk) {
        error = m_error;
        return m_code;
    }
    return code;
}

bool Device::charge(qint64 units) {
    m_work += std::max<qint64>(units, 0);
    if (m_work <= m_workLimit) return m_code == ApOk;
    fail(ApOverLimits, QStringLiteral("the %1 picture asks for too much drawing").arg(m_kind));
    return false;
}

void Device::fail(int code, const QString& error) {
    if (m_code != ApOk) return;
    m_code = code;
    m_error = error;
}

void Device::setMapping(const QTransform& toPage, double textAngle) {
    m_toPage = toPage;
    // Mappings scaled past what a double holds draw nothing rather than at infinity.
    const double values[] = {toPage.m11(), toPage.m12(), toPage.m21(),
                             toPage.m22(), toPage.dx(),  toPage.dy()};
    if (!std::all_of(std::begin(values), std::end(values), [](double v) { return std::isfinite(v); }))
        m_toPage = QTransform(0, 0, 0, 0, 0, 0);
    const QTransform& t = m_toPage;
    if (upright()) {
        m_sx = t.m11();
        m_sy = t.m22();
    } else {
        m_sx = std::hypot(t.m11(), t.m12());
        m_sy = std::copysign(std::hypot(t.m21(), t.m22()), t.determinant());
    }
    m_scale = std::max(std::fabs(m_sx), std::fabs(m_sy));
    m_textAngle = std::isfinite(textAngle) ? textAngle : 0;
    m_fontReady = false;
}

QPolygonF Device::mapArc(const QRectF& box, double start, double sweep) const {
    return m_toPage.map(ellipseArc(box, start, sweep, m_scale));
}

void Device::clipTo(const QRegion& region) {
    m_dc.clipped = true;
    m_dc.clip = region & QRect(0, 0, m_page.width(), m_page.height());
    m_clipApplied = false;
}

void Device::combineClip(const QRegion& region, int mode) {
    const QRegion page(0, 0, m_page.width(), m_page.height());
    const QRegion current = m_dc.clipped ? m_dc.clip : page;
    const qint64 a = current.rectCount(), b = region.rectCount();
    if (!charge(kClipRectWork * (a + b))) return;
    // Two regions of many rectangles may cross into a grid of their product: such a
    // combination keeps only its bounds.
    if (mode != 5 && a * b > kMaxClipProduct) {
        const QRect bounds = mode == 1   ? current.boundingRect() & region.boundingRect()
                             : mode == 4 ? current.boundingRect()
                                         : current.boundingRect() | region.boundingRect();
        clipTo(QRegion(bounds));
        return;
    }
    switch (mode) {
    case 1:
        clipTo(current & region);
        break;
    case 2:
        clipTo(current | region);
        break;
    case 3:
        clipTo(current ^ region);
        break;
    case 4:
        clipTo(current - region);
        break;
    case 5:
        clipTo(region);
        break;
    default:
        break;
    }
    charge(kClipRectWork * qint64(m_dc.clip.rectCount()));
    // Past what a clip keeps, the bounds stand in for the region.
    if (m_dc.clip.rectCount() > kMaxClipRects) clipTo(QRegion(m_dc.clip.boundingRect()));
}

void Device::resetClip() {
    m_dc.clipped = false;
    m_dc.clip = QRegion();
    m_clipApplied = false;
}

} // namespace imaging::metafile
