#include "platform/fileio/outputset.h"

#include <QFile>

namespace fileio {

void OutputSet::removeAll() {
    for (const QString& path : std::as_const(m_paths))
        QFile::remove(path);
    m_paths.clear();
}

} // namespace fileio
