#pragma once

#include <QString>

namespace fileio {

// How everything below the windows reports a failure: a code and a text naming the file and
// the cause. The page libraries and file I/O use the classic runtime numbers (53 file not
// found, 61 disk full, 321 invalid file format...); the image-to-PDF library its own negative
// codes. Number 0: nothing failed. Where a failure becomes a run-time error for the error
// trap, its number is translated in one place (core/failurenumbers.h).
struct Failure {
    int number = 0;
    QString text;

    // Records the first failure only; answers false so callers can `return fail.set(...)`.
    bool set(int n, const QString& t) {
        if (number == 0) {
            number = n;
            text = t;
        }
        return false;
    }
    bool set(const Failure& other) { return set(other.number, other.text); }
    explicit operator bool() const { return number != 0; }
};

} // namespace fileio
