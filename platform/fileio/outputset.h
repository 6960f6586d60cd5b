#pragma once

// What the page operations answer when a step fails, and the files one call has put in
// place so far, so that a call writing several files leaves all of them or none.

#include <QString>
#include <QStringList>

namespace fileio {

// A failure as a classic runtime error number (53 file not found, 61 disk full, 321 invalid
// file format...) and a text naming the file and the cause. Number 0: nothing failed.
struct Failure {
    int number = 0;
    QString text;

    // Records the first failure only; answers false so callers can `return fail.set(...)`.
    bool set(int n, const QString& t) {
        if (number == 0) {
            number = n;
            text = t;
        }
        return false;
    }
    explicit operator bool() const { return number != 0; }
};

// The outputs a call has committed; unless kept, they are removed when the set goes away.
class OutputSet {
public:
    OutputSet() = default;
    ~OutputSet() {
        if (!m_kept) removeAll();
    }
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    void add(const QString& path) { m_paths.append(path); }
    // The call succeeded: every output stays.
    void keep() { m_kept = true; }
    void removeAll();
    const QStringList& paths() const { return m_paths; }

private:
    QStringList m_paths;
    bool m_kept = false;
};

// `number` zero-padded to the digits of `count` (7 of 120 -> "007"): names of numbered outputs.
inline QString paddedNumber(int number, int count) {
    const int digits = int(QString::number(count < 1 ? 1 : count).size());
    return QStringLiteral("%1").arg(number, digits, 10, QLatin1Char('0'));
}

} // namespace fileio
