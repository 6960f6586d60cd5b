#include "core/uiservices.h"

#include <cstdio>
#include <cstdlib>

namespace {
UiServices* g_ui = nullptr;
}

UiServices& Ui() {
    if (!g_ui) {
        std::fprintf(stderr, "quillmere: UiServices used before one was installed\n");
        std::abort();
    }
    return *g_ui;
}

UiServices* SetUi(UiServices* services) {
    UiServices* previous = g_ui;
    g_ui = services;
    return previous;
}
