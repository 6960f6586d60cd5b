#pragma once

// Recognises an image format by its content, never by the file name.

#include "platform/imaging/formats/raster.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace imaging {

// Bytes of the file start that sniffFormat looks at (Photo CD keeps its mark at 2048).
constexpr size_t kSniffHeadBytes = 2064;

// `head` is the start of the file (up to kSniffHeadBytes), `tail` its last 26 bytes
// (or fewer for a short file); a TGA is recognised by its footer or, failing that, by a
// plausible header, so it is tried last.
ImageFormat sniffFormat(const uint8_t* head, size_t headSize, const uint8_t* tail, size_t tailSize);

// Reads the file's head and tail and answers ApOk with `format` set, ApCannotRead when it
// cannot be opened, ApCorrupt for an empty file, ApUnsupported when no format matches.
int sniffFile(const QString& path, ImageFormat& format, QString& error);

const char* formatName(ImageFormat format);

} // namespace imaging
