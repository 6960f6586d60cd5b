#pragma once

// A private-profile (INI) file of our own: "[SECTION]" lines followed by KEY=value lines,
// UTF-8, one line per key. Section and key names match ignoring letter case. Reading a
// value trims the blanks around it, removes one pair of surrounding quotes and cuts it to
// the caller's buffer size less one character. Setting a key keeps its line where it is;
// a new key is appended to its section, a new section to the file. Lines we do not
// understand are kept as they are.
//
// Values are written so that any text reads back unchanged: a backslash, CR and LF are
// escaped ("\\", "\r", "\n"), so no value can break its line or add a key, and a value
// with blanks or quotes at its ends is written in quotes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace profile {

// The buffer size the program reads every value with: at most 4095 characters.
inline constexpr int kValueBufferSize = 4096;
// A file larger than this is not one of ours; it reads as empty.
inline constexpr qint64 kMaxProfileBytes = 1 << 20;

class PrivateProfile {
public:
    // Any bytes are accepted; what is neither a section nor a key line is only kept.
    static PrivateProfile fromBytes(QByteArrayView bytes);
    // A missing, unreadable or oversized file reads as empty.
    static PrivateProfile fromFile(const QString& path);

    // The value of `key` in `section` as read into a buffer of `bufferSize` characters;
    // nullopt when the section or the key is missing.
    std::optional<QString> value(QStringView section, QStringView key, int bufferSize = kValueBufferSize) const;
    void setValue(QStringView section, QStringView key, const QString& value);

    QByteArray toBytes() const;
    bool isEmpty() const { return m_lines.isEmpty(); }

    // One value as it is written after "KEY=", and back.
    static QString encodeValue(const QString& value);
    static QString decodeValue(QStringView written, int bufferSize = kValueBufferSize);

private:
    // The line range [begin, end) of the first section called `section`, begin being the
    // section line itself; nullopt when there is none.
    std::optional<std::pair<qsizetype, qsizetype>> sectionRange(QStringView section) const;
    // The line of `key` inside a section's range, or -1.
    qsizetype keyLine(std::pair<qsizetype, qsizetype> range, QStringView key) const;

    QStringList m_lines; // without their line ends
};

// The classic reading call: the value, or `defaultValue` when the file, section or key is
// missing.
QString GetPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                                int bufferSize, const QString& path);

} // namespace profile
