#pragma once

// Filter patterns of the search: the filter text split into wildcards, and our own
// wildcard test ("*" any run, "?" one character, letter case ignored, whole name).

#include <QString>
#include <QStringList>
#include <vector>

namespace filesearch {

// Splits a filter text: "*.*" (blanks around it ignored) gives no patterns, which lets
// every name through; otherwise the text is split at every ";" when it holds one, else at
// every ","; pieces are kept as they are (not trimmed, empty ones stay).
void GenerateFilterPatternArray(const QString& patternText, QStringList& patterns);

// The patterns of a filter choice: index 0 ("Image files") takes FilterPatterns entry 0,
// any other index the shown text itself.
QStringList PatternsForFilter(int filterIndex, const QString& filterText);

// The wildcard test of one name against one pattern.
bool WildcardMatch(QStringView name, QStringView pattern);

// True when `name` (the file name alone) matches one of the patterns, or the list is empty.
bool IsFileMatchWithFilterPattern(const QString& name, const QStringList& patterns);

// The same test with the patterns prepared once, for the walk over many names: the usual
// "*.ext" patterns become a suffix comparison.
class FilterPatternMatcher {
public:
    explicit FilterPatternMatcher(const QStringList& patterns = {});
    bool matches(QStringView name) const;
    bool matchesAll() const { return m_all; }

private:
    struct Pattern {
        QString text;
        bool suffixOnly = false; // "*" followed by literal characters only
    };
    std::vector<Pattern> m_patterns;
    bool m_all = true;
};

} // namespace filesearch
