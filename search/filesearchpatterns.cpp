#include "search/filesearchpatterns.h"

#include "core/globals.h"

namespace filesearch {

void GenerateFilterPatternArray(const QString& patternText, QStringList& patterns) {
    patterns.clear();
    if (patternText.trimmed() == QLatin1String("*.*")) return;
    if (patternText.contains(QLatin1Char(';')))
        patterns = patternText.split(QLatin1Char(';'));
    else if (patternText.contains(QLatin1Char(',')))
        patterns = patternText.split(QLatin1Char(','));
    else
        patterns.append(patternText);
}

QStringList PatternsForFilter(int filterIndex, const QString& filterText) {
    QStringList patterns;
    GenerateFilterPatternArray(filterIndex == 0 ? FilterPatterns[0] : filterText, patterns);
    return patterns;
}

namespace {

inline char16_t fold(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return QChar::toCaseFolded(c);
}

inline bool sameFolded(char16_t a, char16_t b) {
    return a == b || fold(a) == fold(b);
}

// Length in code units of the character at `i`: a "?" stands for a whole character.
inline qsizetype charLength(QStringView s, qsizetype i) {
    return (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ? 2 : 1;
}

bool endsWithFolded(QStringView name, QStringView suffix) {
    if (suffix.size() > name.size()) return false;
    const qsizetype offset = name.size() - suffix.size();
    for (qsizetype i = 0; i < suffix.size(); ++i)
        if (!sameFolded(name[offset + i].unicode(), suffix[i].unicode())) return false;
    return true;
}

} // namespace

bool WildcardMatch(QStringView name, QStringView pattern) {
    // Greedy match that remembers the last "*" and retries from one character further on
    // a mismatch: linear for the usual patterns, never exponential.
    qsizetype n = 0, p = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char16_t pc = pattern[p].unicode();
            if (pc == u'*') {
                starP = ++p;
                starN = n;
                continue;
            }
            if (pc == u'?') {
                n += charLength(name, n);
                ++p;
                continue;
            }
            if (sameFolded(name[n].unicode(), pc)) {
                ++n;
                ++p;
                continue;
            }
        }
        if (starP < 0) return false;
        p = starP;
        starN += charLength(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

bool IsFileMatchWithFilterPattern(const QString& name, const QStringList& patterns) {
    if (patterns.isEmpty()) return true;
    for (const QString& pattern : patterns)
        if (WildcardMatch(name, pattern)) return true;
    return false;
}

FilterPatternMatcher::FilterPatternMatcher(const QStringList& patterns) : m_all(patterns.isEmpty()) {
    m_patterns.reserve(patterns.size());
    for (const QString& text : patterns) {
        Pattern p;
        p.text = text;
        p.suffixOnly = text.startsWith(QLatin1Char('*')) && text.size() > 1 &&
                       !QStringView(text).mid(1).contains(QLatin1Char('*')) &&
                       !text.contains(QLatin1Char('?'));
        if (p.suffixOnly) p.text = text.mid(1);
        m_patterns.push_back(std::move(p));
    }
}

bool FilterPatternMatcher::matches(QStringView name) const {
    if (m_all) return true;
    for (const Pattern& p : m_patterns)
        if (p.suffixOnly ? endsWithFolded(name, p.text) : WildcardMatch(name, p.text)) return true;
    return false;
}

} // namespace filesearch
