#pragma once

// Generated trees and fakes shared by the search tests.

#include "platform/imaging/pagecount/pagecounter.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(", ").toStdString() << ']';
}

namespace searchtest {

// Creates `relative` under `root` (folders included) holding `bytes` bytes.
inline QString makeFile(const QString& root, const QString& relative, qint64 bytes = 0) {
    const QString path = root + QLatin1Char('/') + relative;
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.resize(bytes);
    return path;
}

// Writes `bytes` to `path`; false when it could not.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A complete 1 x 1 grey PNG, for content typing without Qt Gui.
inline QByteArray pngBytes() {
    static const char bytes[] =
        "\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x01\x00\x00\x00\x01\x08\x00"
        "\x00\x00\x00\x3a\x7e\x9b\x55\x00\x00\x00\x0aIDAT\x78\x9c\x63\x60\x00\x00\x00"
        "\x02\x00\x01\x48\xaf\xa4\x71\x00\x00\x00\x00IEND\xae\x42\x60\x82";
    return QByteArray(bytes, sizeof bytes - 1);
}

// Answers scripted counts per file name and records every path it was asked about.
class FakePageCounter : public PageCounter {
public:
    explicit FakePageCounter(int defaultCount = 1) : m_default(defaultCount) {}
    QHash<QString, int> counts; // by file name
    QStringList asked;

    int CountPages(const QString& path) override {
        asked << path;
        return counts.value(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1), m_default);
    }

private:
    int m_default;
};

} // namespace searchtest
