// Shared main of every test program: headless Qt, a scripted UI, a private data folder.
#include "core/globals.h"
#include "tests/support/fakeuiservices.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // gtest discovery runs the binary outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    FakeUiServices fallback;
    SetUi(&fallback);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
