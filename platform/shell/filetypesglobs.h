#pragma once

// Tells which file names can be typed by their last suffix alone. Most names are: their
// MIME type follows from "*.ext" patterns. A few patterns look further ("*.tar.gz",
// "README*", "*.[1-9]"); names those could match need the full look-up.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace platform {

class FileTypeGlobs {
public:
    // Reads the installed MIME glob lists (mime/globs2 in the data folders).
    FileTypeGlobs();
    // For tests: the pattern list given directly.
    explicit FileTypeGlobs(const QStringList& patterns);

    // True when the name's type may depend on more than `suffix`, the text after its last
    // ".". Always true when no glob list was found or the name has no suffix.
    bool needsFullLookup(QStringView name, QStringView suffix) const;

    bool loaded() const { return m_loaded; }

private:
    void addPattern(const QString& pattern);

    bool m_loaded = false;
    QHash<QString, QStringList> m_compound; // last suffix -> longer literal ends (".tar.gz")
    QSet<QString> m_literalNames;           // whole names ("cmakelists.txt")
    QStringList m_suffixPatterns;           // suffixes made of character classes ("[1-9]")
    QStringList m_namePatterns;             // whole-name patterns with wildcards ("readme*", "*~")
    mutable QHash<QString, bool> m_suffixAnswers;
};

} // namespace platform
