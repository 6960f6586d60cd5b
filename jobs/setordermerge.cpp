#include "jobs/setordermerge.h"

#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/uiservices.h"

#include <QFileInfo>
#include <algorithm>

namespace setorder {

namespace {

void inform(const QString& text) {
    Ui().MsgBox(text, MsgButtons::OK, MsgIcon::Information, kAppTitle);
}

} // namespace

bool IsRefusedNameChar(QChar c) {
    return QStringView(u"\\/*:?\"<>|").contains(c);
}

QString RefusedNameTip() {
    return QStringLiteral("A filename can not contain any of the following character.\\n \\/*:''<>|");
}

bool IsValidFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
    return std::none_of(name.begin(), name.end(), IsRefusedNameChar);
}

QString TargetPath(const QString& folder, const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    return modGeneral::ValidateDir(folder) + base + QStringLiteral(".pdf");
}

bool ValidateInput(const QString& name, const QString& folder) {
    if (!IsValidFileName(name)) {
        inform(QStringLiteral("Please provide valid file name."));
        return false;
    }
    // Before any target is formed: an empty box would make it one at the root.
    if (folder.trimmed().isEmpty()) {
        inform(QStringLiteral("Invalid Output Folder Path"));
        return false;
    }
    const QString target = TargetPath(folder, name);
    // Anything at the target but a folder is the user's file, whatever its folder is called
    // (a "*" in it included) and wherever a link points.
    const QFileInfo existing(target);
    if ((existing.exists() || existing.isSymLink()) && !existing.isDir())
        return Ui().MsgBox(target + QStringLiteral(" Already exists. Do you Wants to Replace it?"), MsgButtons::YesNo,
                           MsgIcon::None, kAppTitle) == MsgAnswer::Yes;
    if (!QFileInfo(folder).isDir()) {
        inform(QStringLiteral("Please enter Valid folder Name"));
        return false;
    }
    return true;
}

std::optional<BlockMove> MoveBlockUp(const GridBlock& b, int cursorRow) {
    if (b.top < 1 || cursorRow == 1 || b.top == 1) return std::nullopt;
    BlockMove move{{}, {b.top - 1, b.left, b.bottom - 1, b.right}};
    for (int r = b.top; r <= b.bottom; ++r)
        move.rowMoves.emplace_back(r, r - 1);
    return move;
}

std::optional<BlockMove> MoveBlockDown(const GridBlock& b, int cursorRow, int rows) {
    const int last = rows - 1;
    if (b.top < 1 || cursorRow >= last || b.bottom >= last) return std::nullopt;
    BlockMove move{{}, {b.top + 1, b.left, b.bottom + 1, b.right}};
    for (int r = b.bottom; r >= b.top; --r)
        move.rowMoves.emplace_back(r, r + 1);
    return move;
}

} // namespace setorder
