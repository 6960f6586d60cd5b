// quillmere-bench: measures the engine from the command line. Not a test: it prints what
// it did and how long it took, and comparison scripts (compare.sh) read the last line.
//
//   quillmere-bench SUBCOMMAND ARGS...

#include "bench/benchcommand.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

QList<const BenchCommand*>& registry() {
    static QList<const BenchCommand*> commands;
    return commands;
}

int usage() {
    std::fprintf(stderr, "usage: quillmere-bench SUBCOMMAND ARGS...\n");
    for (const BenchCommand* c : BenchCommand::all())
        std::fprintf(stderr, "  quillmere-bench %s %s\n", c->name, c->usage);
    return 2;
}

} // namespace

BenchCommand::BenchCommand(const char* n, const char* u, Run r) : name(n), usage(u), run(r) {
    registry().append(this);
}

const QList<const BenchCommand*>& BenchCommand::all() { return registry(); }

QString benchSeconds(qint64 nanoseconds) { return QString::number(double(nanoseconds) / 1e9, 'f', 3); }

qint64 timeWithEventGaps(const std::function<void()>& action, qint64& longestGapNs) {
    longestGapNs = 0;
    QElapsedTimer sinceTick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    probe.start();
    action();
    probe.stop();
    longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
    return clock.nsecsElapsed();
}

int main(int argc, char** argv) {
    // Metafile text needs Qt's fonts and the search subcommand a main window: a widgets
    // application, but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    for (const BenchCommand* c : BenchCommand::all()) {
        if (args.front() == QLatin1String(c->name))
            return c->run(args.mid(1));
    }
    return usage();
}
