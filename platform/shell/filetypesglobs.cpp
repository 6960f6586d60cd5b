#include "platform/shell/filetypesglobs.h"

#include <QFile>
#include <QStandardPaths>

namespace platform {

namespace {

bool hasWildcard(QStringView s) {
    return s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?')) || s.contains(QLatin1Char('['));
}

// Matches one "[...]" class at p[i] against c; advances i past it. A class without its "]"
// is taken literally.
bool classMatch(QStringView p, qsizetype& i, QChar c) {
    const qsizetype close = p.indexOf(QLatin1Char(']'), i + 1);
    if (close < 0) {
        ++i;
        return c == QLatin1Char('[');
    }
    qsizetype k = i + 1;
    const bool negate = k < close && (p[k] == QLatin1Char('!') || p[k] == QLatin1Char('^'));
    if (negate) ++k;
    bool hit = false;
    for (; k < close; ++k) {
        if (k + 2 < close && p[k + 1] == QLatin1Char('-')) {
            hit = hit || (c >= p[k] && c <= p[k + 2]);
            k += 2;
        } else {
            hit = hit || c == p[k];
        }
    }
    i = close + 1;
    return hit != negate;
}

// "*", "?" and "[...]" over lower-case text.
bool globMatch(QStringView s, QStringView p) {
    qsizetype n = 0, i = 0, star = -1, mark = 0;
    while (n < s.size()) {
        if (i < p.size() && p[i] == QLatin1Char('*')) {
            star = ++i;
            mark = n;
            continue;
        }
        if (i < p.size()) {
            qsizetype next = i;
            const bool ok = p[i] == QLatin1Char('[') ? classMatch(p, next, s[n])
                                                     : (++next, p[i] == QLatin1Char('?') || p[i] == s[n]);
            if (ok) {
                ++n;
                i = next;
                continue;
            }
        }
        if (star < 0) return false;
        i = star;
        n = ++mark;
    }
    while (i < p.size() && p[i] == QLatin1Char('*'))
        ++i;
    return i == p.size();
}

} // namespace

FileTypeGlobs::FileTypeGlobs() {
    const QStringList files =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("mime/globs2"));
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
        m_loaded = true;
        while (!f.atEnd()) {
            // weight:type:pattern[:flags]
            const QString line = QString::fromUtf8(f.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
            const QStringList parts = line.split(QLatin1Char(':'));
            if (parts.size() >= 3) addPattern(parts[2]);
        }
    }
}

FileTypeGlobs::FileTypeGlobs(const QStringList& patterns) : m_loaded(true) {
    for (const QString& p : patterns)
        addPattern(p);
}

void FileTypeGlobs::addPattern(const QString& rawPattern) {
    const QString pattern = rawPattern.toLower();
    const qsizetype dot = pattern.lastIndexOf(QLatin1Char('.'));
    const QString tail = dot >= 0 ? pattern.mid(dot + 1) : QString();
    if (!hasWildcard(pattern)) {
        m_literalNames.insert(pattern); // "cmakelists.txt", "makefile"
        return;
    }
    if (pattern.startsWith(QLatin1String("*.")) && !tail.isEmpty() &&
        !hasWildcard(QStringView(pattern).mid(1))) {
        if (dot > 1) // "*.tar.gz": a longer end of the "gz" suffix
            m_compound[tail].append(pattern.mid(1));
        return; // a plain "*.ext": the suffix decides
    }
    // A tail of character classes only ("*.[1-9]", "*.anim[1-9j]") cannot reach across a
    // dot, so the suffix alone tells; anything looser is tried against the whole name.
    const bool classesOnly = pattern.startsWith(QLatin1Char('*')) && dot >= 0 && !tail.isEmpty() &&
                             !tail.contains(QLatin1Char('*')) && !tail.contains(QLatin1Char('?')) &&
                             !QStringView(pattern).mid(1, dot - 1).contains(QLatin1Char('*')) &&
                             !QStringView(pattern).mid(1, dot - 1).contains(QLatin1Char('?')) &&
                             !QStringView(pattern).mid(1, dot - 1).contains(QLatin1Char('['));
    if (classesOnly && dot == 1)
        m_suffixPatterns.append(tail);
    else
        m_namePatterns.append(pattern); // "readme*", "makefile.*", "*~", "*.so.[0-9]*"
}

bool FileTypeGlobs::needsFullLookup(QStringView name, QStringView suffix) const {
    if (!m_loaded || suffix.isEmpty()) return true;
    const QString lowerSuffix = suffix.toString().toLower();
    auto known = m_suffixAnswers.constFind(lowerSuffix);
    if (known == m_suffixAnswers.cend()) {
        bool bySuffix = false;
        for (qsizetype i = 0; !bySuffix && i < m_suffixPatterns.size(); ++i)
            bySuffix = globMatch(lowerSuffix, m_suffixPatterns[i]);
        known = m_suffixAnswers.insert(lowerSuffix, bySuffix);
    }
    if (*known) return true;
    const QString lowerName = name.toString().toLower();
    if (m_literalNames.contains(lowerName)) return true;
    const auto compound = m_compound.constFind(lowerSuffix);
    if (compound != m_compound.cend())
        for (const QString& end : *compound)
            if (lowerName.endsWith(end)) return true;
    for (const QString& p : m_namePatterns)
        if (globMatch(lowerName, p)) return true;
    return false;
}

} // namespace platform
