#pragma once

// Writes a document made of image pages only, straight to the file: the objects QPDF would
// write for those pages, numbered and ordered as it numbers them, while each image's bytes
// go in one piece from where they lie (the source's bytes as read, the spill file, or the
// source file read again) to the file, with no buffer in between.

#include "platform/imaging/encoders/encodedimage.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace fileio {
class AtomicWriter;
}

namespace imaging {

// `version` is major * 10 + minor; `id` the 16 bytes of the document ID; `progress`, when
// given, gets the percentage of the pages written. Answers ApOk, ApCannotRead when a source
// changed or vanished, ApCannotWrite when the file failed (the writer's own error number
// stays on `file`).
// The answer for a file that failed: callers can tell a full disk, which fails every
// later file too, from a failure of this one.
int writeFailureCode(const fileio::AtomicWriter& file);

int writeImageDocument(const std::vector<EncodedPage>& pages, int version, const std::string& id,
                       fileio::AtomicWriter& file, QString& error,
                       const std::function<void(int percent)>& progress = {});

} // namespace imaging
