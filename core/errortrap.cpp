#include "core/errortrap.h"

namespace detail {

void logTrapped(QStringView procedure, QStringView owner, const RuntimeError& e) {
    LogError(modGeneral::ComposeErrorMessage(e.number, e.description, procedure.toString(), e.line,
                                             owner.toString()));
}

void logTrapped(QStringView procedure, QStringView owner, const std::exception& e) {
    // Library exceptions have no runtime number; they surface as the generic
    // application-defined error with the library's own text.
    const QString text = QString::fromLocal8Bit(e.what());
    const bool oom = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
    LogError(modGeneral::ComposeErrorMessage(oom ? 7 : 440, oom ? errorDescription(7) : text,
                                             procedure.toString(), 0, owner.toString()));
}

void logTrappedUnknown(QStringView procedure, QStringView owner) {
    LogError(modGeneral::ComposeErrorMessage(440, QStringLiteral("Automation error"), procedure.toString(), 0,
                                             owner.toString()));
}

} // namespace detail
