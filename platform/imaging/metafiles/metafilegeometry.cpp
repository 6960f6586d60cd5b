#include "platform/imaging/metafiles/metafilegeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace imaging::metafile {

namespace {

constexpr double kTolerance = 0.2; // pixels a chord may stray from its curve
constexpr int kMinPoints = 8;      // a whole ellipse
constexpr int kMaxPoints = 8192;

// Points for a whole ellipse of radius `r`: a chord over angle 2 pi / n strays r (1 - cos(pi / n)),
// about r pi^2 / 2 n^2.
int pointsForRadius(double r) {
    if (!(r > 0)) return kMinPoints;
    const double n = std::numbers::pi * std::sqrt(r / (2 * kTolerance));
    return int(std::clamp(n, double(kMinPoints), double(kMaxPoints)));
}

// Sutherland-Hodgman against one edge: `inside` tells a point's side, `cut` where a segment
// crosses the edge.
template <class Inside, class Cut> QPolygonF clipEdge(const QPolygonF& in, Inside inside, Cut cut) {
    QPolygonF out;
    if (in.isEmpty()) return out;
    out.reserve(in.size() + 4);
    QPointF previous = in.last();
    bool previousIn = inside(previous);
    for (const QPointF& p : in) {
        const bool pIn = inside(p);
        if (pIn != previousIn) out << cut(previous, p);
        if (pIn) out << p;
        previous = p;
        previousIn = pIn;
    }
    return out;
}

QPointF atX(QPointF a, QPointF b, double x) {
    return {x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x())};
}
QPointF atY(QPointF a, QPointF b, double y) {
    return {a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y};
}

// Liang-Barsky: the part of segment a-b inside `r`, if any, as parameters t0 <= t1.
bool clipSegment(QPointF a, QPointF b, const QRectF& r, double& t0, double& t1) {
    t0 = 0;
    t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

} // namespace

QPolygonF ellipseArc(const QRectF& box, double start, double sweep, double scale) {
    const QRectF r = box.normalized();
    const double cx = r.center().x(), cy = r.center().y(), a = r.width() / 2, b = r.height() / 2;
    const double whole = 2 * std::numbers::pi;
    const int n = std::max(
        2, int(std::ceil(pointsForRadius(std::max(a, b) * scale) * std::min(1.0, std::fabs(sweep) / whole))));
    QPolygonF points;
    points.reserve(n + 1);
    for (int i = 0; i <= n; ++i) {
        const double t = start + sweep * i / n;
        points << QPointF(cx + a * std::cos(t), cy - b * std::sin(t));
    }
    return points;
}

double ellipseAngle(const QRectF& box, QPointF point) {
    const QRectF r = box.normalized();
    const double a = std::max(r.width() / 2, 1e-9), b = std::max(r.height() / 2, 1e-9);
    return std::atan2(-(point.y() - r.center().y()) / b, (point.x() - r.center().x()) / a);
}

QPolygonF roundedRect(const QRectF& box, double rx, double ry, double scale) {
    const QRectF r = box.normalized();
    rx = std::clamp(rx, 0.0, r.width() / 2);
    ry = std::clamp(ry, 0.0, r.height() / 2);
    if (rx <= 0 || ry <= 0) return QPolygonF(r);
    const double quarter = std::numbers::pi / 2;
    const QRectF corner(0, 0, 2 * rx, 2 * ry);
    QPolygonF points;
    points << ellipseArc(corner.translated(r.right() - 2 * rx, r.top()), 0, quarter, scale);
    points << ellipseArc(corner.translated(r.left(), r.top()), quarter, quarter, scale);
    points << ellipseArc(corner.translated(r.left(), r.bottom() - 2 * ry), 2 * quarter, quarter, scale);
    points << ellipseArc(corner.translated(r.right() - 2 * rx, r.bottom() - 2 * ry), 3 * quarter, quarter, scale);
    return points;
}

QPolygonF clipPolygon(const QPolygonF& polygon, const QRectF& clip) {
    // Only the edges the polygon's bounds cross are cut along: most shapes lie wholly
    // inside, or wholly beyond, and cost one pass.
    const QRectF bounds = polygon.boundingRect();
    const double l = clip.left(), r = clip.right(), t = clip.top(), b = clip.bottom();
    if (bounds.left() >= l && bounds.right() <= r && bounds.top() >= t && bounds.bottom() <= b) return polygon;
    if (bounds.right() < l || bounds.left() > r || bounds.bottom() < t || bounds.top() > b) return QPolygonF();
    QPolygonF out = polygon;
    if (bounds.left() < l)
        out = clipEdge(
            out, [&](QPointF p) { return p.x() >= l; }, [&](QPointF a, QPointF c) { return atX(a, c, l); });
    if (bounds.right() > r)
        out = clipEdge(
            out, [&](QPointF p) { return p.x() <= r; }, [&](QPointF a, QPointF c) { return atX(a, c, r); });
    if (bounds.top() < t)
        out = clipEdge(
            out, [&](QPointF p) { return p.y() >= t; }, [&](QPointF a, QPointF c) { return atY(a, c, t); });
    if (bounds.bottom() > b)
        out = clipEdge(
            out, [&](QPointF p) { return p.y() <= b; }, [&](QPointF a, QPointF c) { return atY(a, c, b); });
    return out;
}

std::vector<QPolygonF> clipPolyline(const QPolygonF& line, const QRectF& clip) {
    std::vector<QPolygonF> runs;
    const QRectF bounds = line.boundingRect();
    if (line.size() > 1 && bounds.left() >= clip.left() && bounds.right() <= clip.right() &&
        bounds.top() >= clip.top() && bounds.bottom() <= clip.bottom())
        return {line};
    if (bounds.right() < clip.left() || bounds.left() > clip.right() || bounds.bottom() < clip.top() ||
        bounds.top() > clip.bottom())
        return runs;
    if (line.size() == 1 && clip.contains(line[0])) runs.push_back(line);
    QPolygonF run;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        const QPointF a = line[i], b = line[i + 1];
        double t0, t1;
        if (!clipSegment(a, b, clip, t0, t1)) {
            if (run.size() > 1) runs.push_back(run);
            run.clear();
            continue;
        }
        const QPointF from = a + (b - a) * t0, to = a + (b - a) * t1;
        if (run.isEmpty() || t0 > 0) { // a run starts here
            if (run.size() > 1) runs.push_back(run);
            run = QPolygonF{from};
        }
        run << to;
        if (t1 < 1) {
            runs.push_back(run);
            run.clear();
        }
    }
    if (run.size() > 1) runs.push_back(run);
    return runs;
}

QPolygonF flattenBeziers(QPointF from, const QPolygonF& points, qsizetype maxPoints) {
    QPolygonF out;
    for (qsizetype i = 0; i + 2 < points.size(); i += 3) {
        const QPointF p0 = from, p1 = points[i], p2 = points[i + 1], p3 = points[i + 2];
        // A cubic strays from its chords by at most 3/4 of its control polygon's second
        // differences over n^2: enough steps to keep that within the tolerance.
        const double bend = std::max(std::hypot(p0.x() - 2 * p1.x() + p2.x(), p0.y() - 2 * p1.y() + p2.y()),
                                     std::hypot(p1.x() - 2 * p2.x() + p3.x(), p1.y() - 2 * p2.y() + p3.y()));
        const double wanted = std::sqrt(0.75 * bend / kTolerance);
        const qsizetype left = std::max<qsizetype>(1, maxPoints - out.size() - (points.size() - i) / 3);
        const qsizetype most = std::min<qsizetype>(left, kMaxPoints);
        const qsizetype n = wanted < double(most) ? std::max<qsizetype>(1, qsizetype(std::ceil(wanted))) : most;
        for (qsizetype k = 1; k <= n; ++k) {
            const double t = double(k) / double(n), u = 1 - t;
            out << p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t);
        }
        from = p3;
    }
    return out;
}

double lineLength(const QPolygonF& line) {
    double total = 0;
    for (qsizetype i = 0; i + 1 < line.size(); ++i)
        total += std::hypot(line[i + 1].x() - line[i].x(), line[i + 1].y() - line[i].y());
    return total;
}

double perimeter(const QPolygonF& polygon) {
    if (polygon.size() < 2) return 0;
    return lineLength(polygon) +
           std::hypot(polygon.first().x() - polygon.last().x(), polygon.first().y() - polygon.last().y());
}

} // namespace imaging::metafile
