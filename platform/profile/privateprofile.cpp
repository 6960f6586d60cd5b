#include "platform/profile/privateprofile.h"

#include <QFile>

#include <algorithm>

namespace profile {

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QStringView trimBlanks(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool isQuote(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); }

bool quotedPair(QStringView s) { return s.size() >= 2 && isQuote(s.front()) && s.front() == s.back(); }

// The name of a section line ("[ name ]"), or nullopt for any other line.
std::optional<QStringView> sectionName(QStringView line) {
    const QStringView t = trimBlanks(line);
    if (!t.startsWith(QLatin1Char('['))) return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    return trimBlanks(t.mid(1, close - 1));
}

bool sameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

PrivateProfile PrivateProfile::fromBytes(QByteArrayView bytes) {
    PrivateProfile p;
    if (bytes.isEmpty()) return p;
    const QString text = QString::fromUtf8(bytes);
    p.m_lines = text.split(QLatin1Char('\n'));
    if (p.m_lines.last().isEmpty()) p.m_lines.removeLast(); // the final line end
    for (QString& line : p.m_lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return p;
}

PrivateProfile PrivateProfile::fromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxProfileBytes) return {};
    return fromBytes(f.read(f.size()));
}

std::optional<std::pair<qsizetype, qsizetype>> PrivateProfile::sectionRange(QStringView section) const {
    qsizetype begin = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i]);
        if (!name) continue;
        if (begin >= 0) return std::make_pair(begin, i);
        if (sameName(*name, section)) begin = i;
    }
    if (begin < 0) return std::nullopt;
    return std::make_pair(begin, m_lines.size());
}

qsizetype PrivateProfile::keyLine(std::pair<qsizetype, qsizetype> range, QStringView key) const {
    for (qsizetype i = range.first + 1; i < range.second; ++i) {
        const QString& line = m_lines[i];
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && sameName(trimBlanks(QStringView(line).left(eq)), key)) return i;
    }
    return -1;
}

std::optional<QString> PrivateProfile::value(QStringView section, QStringView key, int bufferSize) const {
    const auto range = sectionRange(section);
    if (!range) return std::nullopt;
    const qsizetype line = keyLine(*range, key);
    if (line < 0) return std::nullopt;
    const QString& text = m_lines[line];
    return decodeValue(QStringView(text).mid(text.indexOf(QLatin1Char('=')) + 1), bufferSize);
}

void PrivateProfile::setValue(QStringView section, QStringView key, const QString& value) {
    const QString line = key.toString() + QLatin1Char('=') + encodeValue(value);
    const auto range = sectionRange(section);
    if (!range) {
        m_lines.append(QLatin1Char('[') + section.toString() + QLatin1Char(']'));
        m_lines.append(line);
        return;
    }
    const qsizetype existing = keyLine(*range, key);
    if (existing >= 0) {
        m_lines[existing] = line;
        return;
    }
    // After the section's last line that is not blank, so blank lines before the next
    // section stay where they are.
    qsizetype at = range->second;
    while (at > range->first + 1 && trimBlanks(m_lines[at - 1]).isEmpty())
        --at;
    m_lines.insert(at, line);
}

QByteArray PrivateProfile::toBytes() const {
    QByteArray out;
    for (const QString& line : m_lines) {
        out += line.toUtf8();
        // Reading takes one CR before a line end as part of that end: a line of our own that
        // ends in CR gets a CR LF end, so it reads back as it was.
        out += line.endsWith(QLatin1Char('\r')) ? "\r\n" : "\n";
    }
    return out;
}

QString PrivateProfile::encodeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    // Reading trims blanks and one pair of quotes: protect a value that has either at its ends.
    if (!out.isEmpty() && (isBlank(out.front()) || isBlank(out.back()) || quotedPair(out)))
        out = QLatin1Char('"') + out + QLatin1Char('"');
    return out;
}

QString PrivateProfile::decodeValue(QStringView written, int bufferSize) {
    QStringView v = trimBlanks(written);
    if (quotedPair(v)) v = v.mid(1, v.size() - 2);
    QString out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v[i];
        if (c == QLatin1Char('\\') && i + 1 < v.size()) {
            const QChar n = v[i + 1];
            if (n == QLatin1Char('\\') || n == QLatin1Char('r') || n == QLatin1Char('n')) {
                out += n == QLatin1Char('\\') ? QLatin1Char('\\') : n == QLatin1Char('r') ? QLatin1Char('\r') : QLatin1Char('\n');
                ++i;
                continue;
            }
        }
        out += c;
    }
    // The buffer keeps bufferSize - 1 characters and its terminating zero; a cut never
    // leaves half a surrogate pair.
    const qsizetype keep = std::max(0, bufferSize - 1);
    if (out.size() > keep) {
        qsizetype cut = keep;
        if (cut > 0 && out[cut - 1].isHighSurrogate()) --cut;
        out.truncate(cut);
    }
    return out;
}

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                                int bufferSize, const QString& path) {
    const auto v = PrivateProfile::fromFile(path).value(section, key, bufferSize);
    if (v) return *v;
    return defaultValue.left(std::max(0, bufferSize - 1));
}

} // namespace profile
