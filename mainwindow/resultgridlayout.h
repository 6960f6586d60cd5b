#pragma once

// The saved column layout of the result grid: three comma-separated lists, one element
// per display position (keys, widths in twips, visibility flags).

#include <QStringList>

namespace resultgrid {

// The list after the element at `from` was dragged to `to`: that element stands at
// `to`, every other keeps its order. Positions outside the list leave it unchanged.
QStringList MoveListElement(const QStringList& list, int from, int to);

} // namespace resultgrid
