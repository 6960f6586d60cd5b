#pragma once

// A source file as one read found it: its stamp, its format and, for the formats read whole
// (JPEG and PNG), its bytes. The bits-per-pixel query and the add that follows it share that
// one read; a file changed in between is read again.

#include "platform/imaging/formats/raster.h"
#include "platform/imaging/formats/sourcefile.h"

#include <QString>
#include <memory>

namespace imaging {

struct ExaminedSource {
    QString path;
    FileStamp stamp;
    ImageFormat format = ImageFormat::Unknown;
    std::shared_ptr<const SourceBytes> bytes; // JPEG and PNG only

    const uint8_t* data() const { return bytes ? bytes->data.get() : nullptr; }
    size_t size() const { return bytes ? bytes->size : 0; }
};

enum class Examine {
    ForQuery, // bytes are read only for a file small enough to keep until the add
    ForAdd    // bytes are read within the decoders' limits; the kept examination is used up
};

// Opens `path` (regular files only), sniffs its format and reads what `why` asks. Answers
// ApOk, or the ApCode of sniffFile / readWholeFile with `error` set.
int examineSource(const QString& path, Examine why, ExaminedSource& out, QString& error);

// Drops the examination kept for the next call.
void forgetExaminedSource();

} // namespace imaging
