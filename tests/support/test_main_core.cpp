// Main of the test programs of libraries without widgets: a QCoreApplication only, so such
// a program never links Qt Gui or QtWidgets; otherwise as test_main.cpp.
#include "core/globals.h"
#include "tests/support/fakeuiservices.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QCoreApplication app(argc, argv);
    FakeUiServices fallback;
    SetUi(&fallback);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
