#include "tests/tools/rtfreader.h"

#include <QList>
#include <cctype>

namespace rtfreader {

QString PlainText(const QByteArray& rtf) {
    if (!rtf.startsWith("{\\rtf1")) return QString();
    QString out;
    QList<bool> skipping{false}; // per open group: inside a destination we do not show
    int depth = 0;
    int pendingSkip = 0; // characters that stand in for the last \u
    qsizetype i = 0;
    const qsizetype n = rtf.size();
    // A character of the text, unless it stands in for the last \u or sits in a skipped group.
    const auto text = [&](char c) {
        if (pendingSkip > 0)
            --pendingSkip;
        else if (!skipping.last())
            out += QLatin1Char(c);
    };
    while (i < n) {
        const char c = rtf[i];
        if (c == '{') {
            skipping.append(skipping.last());
            ++depth;
            ++i;
            continue;
        }
        if (c == '}') {
            if (depth == 0) return QString();
            skipping.removeLast();
            --depth;
            ++i;
            if (depth == 0) return i == n || rtf.mid(i).trimmed().isEmpty() ? out : QString();
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            text(c);
            ++i;
            continue;
        }
        // A control symbol or word.
        if (++i >= n) return QString();
        const char s = rtf[i];
        if (s == '\\' || s == '{' || s == '}') {
            text(s);
            ++i;
            continue;
        }
        if (s == '*') {
            skipping.last() = true;
            ++i;
            continue;
        }
        QByteArray word;
        while (i < n && std::isalpha(static_cast<unsigned char>(rtf[i])))
            word += rtf[i++];
        QByteArray number;
        if (i < n && (rtf[i] == '-' || std::isdigit(static_cast<unsigned char>(rtf[i])))) {
            number += rtf[i++];
            while (i < n && std::isdigit(static_cast<unsigned char>(rtf[i])))
                number += rtf[i++];
        }
        if (i < n && rtf[i] == ' ') ++i;
        if (word.isEmpty()) return QString();
        if (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info") {
            skipping.last() = true;
        } else if (skipping.last()) {
            continue;
        } else if (word == "par") {
            out += QStringLiteral("\r\n");
        } else if (word == "tab") {
            out += QLatin1Char('\t');
        } else if (word == "u") {
            out += QChar(char16_t(int16_t(number.toInt())));
            pendingSkip = 1;
        }
    }
    return QString(); // the outer group never closed
}

} // namespace rtfreader
