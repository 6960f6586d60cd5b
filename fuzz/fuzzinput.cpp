#include "fuzz/fuzzinput.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

// fontconfig keeps what it reads and matches for the life of the process (metafile text asks
// it for fonts); the sanitizer should report our leaks, not that.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace fuzz {

void startGuiApplication() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

namespace {
const QTemporaryDir& folder() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillmere-fuzz-XXXXXX"));
    return dir;
}
} // namespace

QString outputPath(const QString& name) {
    return folder().filePath(name);
}

QString writeInput(const uint8_t* data, size_t size) {
    static const QString path = outputPath(QStringLiteral("input"));
    QFile file(path);
    if (!folder().isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "cannot write the fuzz input to %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

} // namespace fuzz
