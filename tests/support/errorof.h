#pragma once

#include "core/runtimeerror.h"

// The runtime error number `f` raises, or 0 when it raises none.
inline int errorNumberOf(auto&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number;
    }
    return 0;
}
