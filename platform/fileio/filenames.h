#pragma once

#include <QByteArrayView>
#include <QString>

namespace fileio {

// A name the file system (or a file of ours) gives as UTF-8 bytes, as text. Unlike
// QString::fromUtf8 and QFile::decodeName it keeps a leading U+FEFF, which they drop as
// a byte order mark: the name "\uFEFFscan.jpg" would read as "scan.jpg", another file.
// Bytes that are not UTF-8 become U+FFFD, so such a text names no file.
QString nameFromBytes(QByteArrayView bytes);

} // namespace fileio
