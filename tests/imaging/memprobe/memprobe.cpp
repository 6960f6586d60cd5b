// imaging_memprobe INPUT OUTPUT [COMPRESSION]
// One image converted as the engine converts it, in a process of its own so that its peak
// memory can be read: prints "added N peak KB before KB", the peak resident size after the
// conversion and before it, from getrusage.
#include "platform/imaging/imagetopdf.h"

#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakKb() {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    return self.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: imaging_memprobe INPUT OUTPUT [COMPRESSION]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // metafile text needs fonts
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    const int handle = imaging::ApCreate(output);
    if (handle <= 0)
        return 2;
    if (argc > 3)
        for (int colourClass = 1; colourClass <= 3; ++colourClass)
            imaging::ApSetFunction(handle, 123, colourClass, 0, QString::fromLocal8Bit(argv[3]), 0);
    const long before = peakKb();
    const int added = imaging::ApAddImage(handle, input);
    if (added > 0 && imaging::ApClose(handle) != 0)
        return 3;
    if (added <= 0)
        imaging::ApDiscard(handle);
    std::printf("added %d peak %ld before %ld\n", added, peakKb(), before);
    return 0;
}
