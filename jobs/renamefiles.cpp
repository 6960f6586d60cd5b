#include "jobs/renamefiles.h"

#include "core/errortrap.h"
#include "core/modgeneral.h"
#include "core/runtimeerror.h"
#include "core/vbruntime.h"
#include "platform/fileio/atomicwriter.h"

namespace renamefiles {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr QStringView kRefused = u"\\/*:?\"<>|";

// The grid's text of a name whose bytes were not UTF-8: the bad bytes became U+FFFD, so the
// text names another file, or none.
bool undecodable(const QString& text) { return text.contains(QChar::ReplacementCharacter); }

QString insertAtPosition(const QString& base, const QString& insert, const QString& charPos) {
    const int32_t position = vb::CLng(charPos);
    if (position > base.size()) return base + insert;
    if (position < 1) raiseError(5);
    return base.left(position - 1) + insert + base.mid(position - 1);
}

} // namespace

QString GetInputMask(const QString& mask, int32_t count) {
    const QString digits = QString::number(count);
    return QString(std::max<qsizetype>(mask.size() - digits.size(), 0), QLatin1Char('0')) + digits;
}

QString NewFileName(const QString& name, const QString& pages, const NamePattern& pattern) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) raiseError(5);
    QString base = name.left(dot);
    const QString padded = GetInputMask(pattern.paddingMask, vb::CLng(pages));
    switch (pattern.placement) {
    case Placement::AtCharPos: {
        const QString& sep = pattern.sepAtCharPos;
        const QString insert = (pattern.sepBefore ? sep : QString()) + padded + (pattern.sepAfter ? sep : QString());
        base = insertAtPosition(base, insert, pattern.charPos.isEmpty() ? QStringLiteral("1") : pattern.charPos);
        break;
    }
    case Placement::Prefix: base = padded + pattern.sepPrefix + base; break;
    case Placement::Suffix: base += pattern.sepSuffix + padded; break;
    case Placement::None: break;
    }
    return base + QLatin1Char('.') + modGeneral::GetFileExt(name);
}

bool CharPosKeyAccepted(QChar c) { return (c >= u'1' && c <= u'9') || c == u'\b'; }

bool PaddingMaskKeyAccepted(QChar c) { return (c >= u'0' && c <= u'9') || c == u'\b'; }

bool SeparatorKeyAccepted(QChar c) { return !kRefused.contains(c); }

bool AcceptableNewName(const QString& name, const QString& newName) {
    if (newName.isEmpty() || newName == u"." || newName == u"..") return false;
    if (newName.contains(QLatin1Char('/')) || newName.contains(QChar(0))) return false;
    // A file on this system may already carry a colon or a question mark; only what the
    // pattern adds is judged.
    for (QChar c : kRefused)
        if (newName.count(c) > name.count(c)) return false;
    return true;
}

void Preview(RenameRows& rows, NamePattern& pattern) {
    if (pattern.placement == Placement::AtCharPos && pattern.charPos.isEmpty() && rows.rowCount() > 0)
        pattern.charPos = QStringLiteral("1");
    const int count = rows.rowCount();
    for (int row = 0; row < count; ++row) {
        QString newName;
        try {
            newName = NewFileName(rows.name(row), rows.pages(row), pattern);
        } catch (...) {
            for (int rest = row; rest < count; ++rest)
                rows.setNewName(rest, QString(), false);
            throw;
        }
        const bool taken = fileio::entryExists(modGeneral::ValidateDir(rows.location(row)) + newName);
        rows.setNewName(row, newName, taken);
    }
}

bool ValidateFilenames(const RenameRows& rows) {
    const int count = rows.rowCount();
    for (int row = 0; row < count; ++row)
        if (!AcceptableNewName(rows.name(row), rows.newName(row))) return false;
    return true;
}

ApplyLists Apply(const RenameRows& rows) {
    ApplyLists lists;
    const int count = rows.rowCount();
    for (int row = 0; row < count; ++row) {
        const QString name = rows.name(row), location = rows.location(row);
        const QString folder = modGeneral::ValidateDir(location);
        const QString source = folder + name;
        const QString target = folder + rows.newName(row);
        if (undecodable(name) || undecodable(location) || !fileio::fileExists(source)) {
            lists.notFound += source + kCrLf;
            continue;
        }
        // The rename itself refuses a taken name, in the same step: a name taken a moment
        // before the rename is never replaced.
        switch (RenameFile(source, target)) {
        case fileio::RenameOutcome::Renamed: break;
        case fileio::RenameOutcome::TargetExists: lists.alreadyThere += target + kCrLf; break;
        case fileio::RenameOutcome::SourceMissing: lists.notFound += source + kCrLf; break;
        case fileio::RenameOutcome::Failed: lists.failed += source + QStringLiteral("  To  ") + target + kCrLf; break;
        }
    }
    return lists;
}

fileio::RenameOutcome RenameFile(const QString& source, const QString& target) {
    int err = 0;
    const fileio::RenameOutcome outcome = fileio::renameNoReplace(source, target, &err);
    if (outcome == fileio::RenameOutcome::Failed)
        trap(u"RenameFile", kOwner, [&] { raiseError(fileio::runtimeErrorForErrno(err)); });
    return outcome;
}

} // namespace renamefiles
