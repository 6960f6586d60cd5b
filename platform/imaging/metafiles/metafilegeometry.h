#pragma once

// Shapes in page pixels, cut to the part near the page before Qt sees them. A metafile's
// coordinates may lie far beyond its page (an ellipse two million pixels wide on a page of
// a few hundred), and Qt's stroker and rasteriser take time in proportion to a shape's
// size, not to its visible part: curves are flattened here into a bounded number of points
// and every polygon and line is clipped to a rectangle a little larger than the page.

#include <QPolygonF>
#include <QRectF>
#include <vector>

namespace imaging::metafile {

// Points of the ellipse inside `box`, from angle `start` through `sweep` (radians,
// counter-clockwise with y down; a sweep of 2 pi is the whole ellipse). `scale` is the page
// pixels a unit of `box` spans at most: enough points that no chord strays a fifth of a
// pixel from the curve on the page, and never more than a few thousand.
QPolygonF ellipseArc(const QRectF& box, double start, double sweep, double scale = 1);

// The angle of the ellipse inside `box` on the ray from its centre through `point`.
double ellipseAngle(const QRectF& box, QPointF point);

// The corners of `box` rounded by ellipses `rx` x `ry` units (`scale` as above).
QPolygonF roundedRect(const QRectF& box, double rx, double ry, double scale = 1);

// Cubic Bezier segments from `from` through the control points and end points of `points`
// (three for each segment), flattened to lines within a fifth of a pixel (points in page
// pixels), with no more than `maxPoints` points in all; the start point is not repeated.
QPolygonF flattenBeziers(QPointF from, const QPolygonF& points, qsizetype maxPoints);

// A closed polygon cut to `clip` (the parts outside run along its edges, so keep `clip`
// wider than the page by more than any pen's reach).
QPolygonF clipPolygon(const QPolygonF& polygon, const QRectF& clip);

// An open line cut to `clip`: the runs of it that lie inside.
std::vector<QPolygonF> clipPolyline(const QPolygonF& line, const QRectF& clip);

// The length of a line through the points, and of the closed polygon.
double lineLength(const QPolygonF& line);
double perimeter(const QPolygonF& polygon);

} // namespace imaging::metafile
