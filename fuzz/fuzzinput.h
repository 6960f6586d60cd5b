#pragma once

// The readers under test take file names, so each input is first written to a file of its
// own in a private temporary folder (one per process: fuzzers run side by side).

#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzz {

// Starts a headless QGuiApplication (metafiles draw text) once per process.
void startGuiApplication();

// Writes `data` to this process's input file and answers its path.
QString writeInput(const uint8_t* data, size_t size);

// A path beside the input for what a target writes.
QString outputPath(const QString& name);

} // namespace fuzz
