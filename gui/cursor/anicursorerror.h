#pragma once

#include "core/runtimeerror.h"

#include <QString>
#include <source_location>

// A failure of the cursor code. Besides number and description it names its
// source, "<executable>.cAniCursor", so a caller can tell it from its own errors.
class AniCursorError : public RuntimeError {
public:
    AniCursorError(int number, const QString& description, std::source_location where);

    QString source;
};

namespace aniCursorErrors {

// "<executable name without extension>.cAniCursor".
QString Source();

// A failing system call: number = code OR 10000, description = the system's text.
[[noreturn]] void raiseSystemError(int code, std::source_location where = std::source_location::current());

// A runtime error (9 for a frame out of range) with its standard description.
[[noreturn]] void raiseRuntimeError(int number, std::source_location where = std::source_location::current());

} // namespace aniCursorErrors
