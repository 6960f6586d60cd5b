#pragma once

// The arguments that `convert` and `imagetopdf` share:
//   [--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...

#include <QString>
#include <QStringList>

struct ConvertArgs {
    QString colour, grey, bw; // compression names; "" sets none
    QString out;
    QStringList files;

    // False when --out or the files are missing, or an option is unknown.
    bool parse(const QStringList& args) {
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            const bool hasValue = i + 1 < args.size();
            if (a == QLatin1String("--colour") && hasValue)
                colour = args[++i];
            else if (a == QLatin1String("--grey") && hasValue)
                grey = args[++i];
            else if (a == QLatin1String("--bw") && hasValue)
                bw = args[++i];
            else if (a == QLatin1String("--out") && hasValue)
                out = args[++i];
            else if (a.startsWith(QLatin1String("--")))
                return false;
            else
                files << a;
        }
        return !out.isEmpty() && !files.isEmpty();
    }
};
