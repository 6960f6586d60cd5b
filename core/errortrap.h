#pragma once

#include "core/errorlog.h"
#include "core/runtimeerror.h"

#include <QString>
#include <exception>
#include <utility>

// The error trap every procedure wraps its body in: a RuntimeError or any other
// exception (QPDF, libtiff wrappers, allocation) becomes one line of the error log,
// and the procedure is left. Answers true when the body ran to its end.
//
//   bool ok = trap(u"LoadFiles", u" of Form frmMain at time", [&] { ... });
//
// `onError` (optional) runs after logging, for the few procedures that restore
// controls or change their result in their trap.
namespace detail {
void logTrapped(QStringView procedure, QStringView owner, const RuntimeError& e);
void logTrapped(QStringView procedure, QStringView owner, const std::exception& e);
void logTrappedUnknown(QStringView procedure, QStringView owner);
} // namespace detail

template <class Body>
bool trap(QStringView procedure, QStringView owner, Body&& body) {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const RuntimeError& e) {
        detail::logTrapped(procedure, owner, e);
    } catch (const std::exception& e) {
        detail::logTrapped(procedure, owner, e);
    } catch (...) {
        detail::logTrappedUnknown(procedure, owner);
    }
    return false;
}

template <class Body, class OnError>
bool trap(QStringView procedure, QStringView owner, Body&& body, OnError&& onError) {
    if (trap(procedure, owner, std::forward<Body>(body)))
        return true;
    try {
        std::forward<OnError>(onError)();
    } catch (...) {
        detail::logTrappedUnknown(procedure, owner);
    }
    return false;
}

// Runs `body` and swallows every error silently (accessors, layout handlers,
// procedures that "ignore every error").
template <class Body>
bool quietly(Body&& body) {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        return false;
    }
}
