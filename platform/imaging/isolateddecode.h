#pragma once

// Runs a decode in a child process with a time and memory limit. For WMF pictures, whose
// drawing cost follows what their records claim rather than what the file holds (a few
// hundred bytes can keep ImageMagick and libwmf drawing for minutes or take gigabytes):
// the child is killed at its limit and the file refused, and a crash in the coder fails
// the file instead of the program.

#include "platform/imaging/raster.h"

#include <QString>
#include <functional>

namespace imaging {

struct DecodeLimits {
    int seconds = 4;                          // processor time of the child
    int waitSeconds = 30;                     // wall clock: on a busy machine the child gets
                                              // its processor time later; a stuck one ends here
    int64_t memoryBytes = int64_t(352) << 20; // address space the child may add
};

using PageDecode = std::function<int(RasterPage& page, QString& error)>;

// Forks, runs `decode` in the child and hands its page (or its code and error) back. The
// child is a copy of one thread: `decode` must not need other threads of this process
// (Qt's painting and image conversions use a thread pool, so they cannot run there).
// ApOverLimits when the child runs out of time or memory, ApCorrupt when it dies.
int decodeIsolated(const PageDecode& decode, RasterPage& page, QString& error,
                   const DecodeLimits& limits = DecodeLimits());

} // namespace imaging
