#include "mainwindow/resultgridlayout.h"

namespace resultgrid {

QStringList MoveListElement(const QStringList& list, int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= list.size() || to >= list.size()) return list;
    QStringList out = list;
    out.move(from, to);
    return out;
}

} // namespace resultgrid
