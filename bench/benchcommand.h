#pragma once

// The subcommands of quillmere-bench. Each lives in a file of its own (cmd_*.cpp) and
// registers itself with one BenchCommand object at namespace scope:
//
//   static const BenchCommand merge("merge", "OUT.pdf FILE...", &runMerge);
//
// so a new subcommand is one more file (its libraries go in its own bench/*.cmake).

#include <QStringList>
#include <QtGlobal>
#include <functional>

class BenchCommand {
public:
    // Answers the process exit code; `args` are the arguments after the subcommand.
    using Run = int (*)(const QStringList& args);

    BenchCommand(const char* name, const char* usage, Run run);

    const char* name;
    const char* usage;
    Run run;

    static const QList<const BenchCommand*>& all();
};

// Seconds as the last lines print them.
QString benchSeconds(qint64 nanoseconds);

// Runs `action` (a click whose run lets the window's events run) and answers how long it took,
// in nanoseconds; `longestGapNs` receives the longest time the GUI thread went without
// handling its events meanwhile, as a 5 ms timer on it sees it.
qint64 timeWithEventGaps(const std::function<void()>& action, qint64& longestGapNs);
