#include "core/failurenumbers.h"

#include "core/runtimeerror.h"
#include "platform/imaging/formats/raster.h"

#include <QFile>

namespace failurenumbers {

namespace {
constexpr int kFileAccess = 75;
} // namespace

int ofFailure(const fileio::Failure& failure) { return failure.number ? failure.number : kFileAccess; }

int ofImagingForPages(const fileio::Failure& failure, const QString& source) {
    switch (failure.number) {
    case imaging::ApCannotRead:
        return QFile::exists(source) ? kFileAccess : 53;
    case imaging::ApCannotWrite:
        return kFileAccess;
    case imaging::ApDiskFull:
        return 61;
    case imaging::ApBadArgument:
        return 5;
    default:
        return 321;
    }
}

int ofImagingForEngine(const fileio::Failure& failure) {
    return failure.number == imaging::ApDiskFull ? 61 : failure.number;
}

void raise(int number, const fileio::Failure& failure, std::source_location where) {
    raiseError(number, failure.text, where);
}

void raise(const fileio::Failure& failure, std::source_location where) {
    raise(ofFailure(failure), failure, where);
}

} // namespace failurenumbers
