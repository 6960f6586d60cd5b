#pragma once

#include <QByteArrayView>
#include <QString>

namespace fileio {

// A name the file system (or a file of ours) gives as UTF-8 bytes, as text. Unlike
// QString::fromUtf8 and QFile::decodeName it keeps a leading U+FEFF, which they drop as
// a byte order mark: the name "\uFEFFscan.jpg" would read as "scan.jpg", another file.
// Bytes that are not UTF-8 become U+FFFD, so such a text names no file.
QString nameFromBytes(QByteArrayView bytes);

// Why the file at `path` could not be opened or created (`err` from the system), for a
// message. A name read from bytes that are not UTF-8 holds U+FFFD in their place and so
// names no file: the system's "No such file or directory" would send the user looking for
// a file that is there, so that case says what is wrong instead.
QString failureReason(const QString& path, int err);
// The same for a file found missing: "file not found", or what is wrong with its name.
QString notFoundReason(const QString& path);

} // namespace fileio
