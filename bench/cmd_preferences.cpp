// quillmere-bench preferences [--times N]
// How long the preferences dialog takes to open: made, loaded from the settings and shown
// until it has been drawn once, offscreen, over default settings in a scratch data folder.
// Prints the slowest of N openings (default 20) last, as "seconds S".

#include "bench/benchcommand.h"
#include "bench/benchwindow.h"
#include "core/doevents.h"
#include "core/modgeneral.h"
#include "mainwindow/frmpreferences.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace {

int runPreferences(const QStringList& args) {
    int times = 20;
    if (args.size() == 2 && args[0] == QLatin1String("--times"))
        times = std::max(1, args[1].toInt());
    else if (!args.isEmpty()) {
        std::fprintf(stderr, "usage: quillmere-bench preferences [--times N]\n");
        return 2;
    }
    BenchProcess process(true);
    if (!process.ok()) return 1;
    qint64 slowest = 0, first = 0;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer clock;
        clock.start();
        modGeneral::LoadGridColumns(); // what the menu command does first
        frmPreferences dialog;
        dialog.show();
        dialog.repaint();
        DoEvents();
        const qint64 elapsed = clock.nsecsElapsed();
        if (i == 0) first = elapsed;
        slowest = std::max(slowest, elapsed);
    }
    std::printf("first %s\n", qPrintable(benchSeconds(first)));
    std::printf("seconds %s\n", qPrintable(benchSeconds(slowest)));
    return 0;
}

const BenchCommand command("preferences", "[--times N]", &runPreferences);

} // namespace
