#pragma once

// How the library opens and reads its input files. Only regular files are opened, and the
// open never blocks: a FIFO or a device named like an image must fail at once instead of
// stalling a conversion for ever. A whole-file read is refused for a file larger than a
// decoded page may be, so no reader ever holds more than the limits allow.

#include "platform/fileio/filestamp.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QFile;

namespace imaging {

// Opens `path` for reading into `file`. Answers ApOk, or ApCannotRead with `error` set
// (missing, unreadable, or not a regular file).
int openSourceFile(QFile& file, const QString& path, QString& error);

// The same for libraries that take a descriptor (libtiff closes it itself); `fd` is -1
// unless ApOk is answered.
int openSourceDescriptor(const QString& path, int& fd, QString& error);

// Whether `path` names a regular file (following links), for libraries that open by name.
int checkSourceFile(const QString& path, QString& error);

// The whole content of an open source file, or of the file at `path`. Answers ApOk,
// ApOverLimits for a file over the limits, ApCannotRead when it cannot be read in full.
int readWholeFile(QFile& file, QByteArray& bytes, QString& error);
int readWholeFile(const QString& path, QByteArray& bytes, QString& error);
int readWholeFile(const QString& path, std::vector<uint8_t>& bytes, QString& error);

// `length` bytes from `offset` of an open source file, never more than the file holds.
QByteArray readFileRange(QFile& file, int64_t offset, int64_t length);

// A source whose stamp changed between the add and the close fails the close.
using fileio::FileStamp;
using fileio::stampOf;

// Bytes read from a file. The block is not zero-filled first: the read overwrites it.
struct SourceBytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
};

// Closes its descriptor on every way out of a scope.
struct ScopedDescriptor {
    int fd = -1;
    ScopedDescriptor() = default;
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    ~ScopedDescriptor();
};

// Fills `size` bytes from `offset` of `fd` (pread, retried on EINTR). False on a short read.
bool readFully(int fd, uint8_t* into, size_t size, int64_t offset);

} // namespace imaging
