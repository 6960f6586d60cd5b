#include "gui/cursor/anicursorerror.h"

#include "gui/cursor/mtempfile.h"

#include <QCoreApplication>
#include <QFileInfo>

AniCursorError::AniCursorError(int n, const QString& d, std::source_location where)
    : RuntimeError(n, d, static_cast<int>(where.line())), source(aniCursorErrors::Source()) {}

namespace aniCursorErrors {

QString Source() {
    QString exe;
    if (QCoreApplication::instance())
        exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (exe.isEmpty()) exe = QCoreApplication::applicationName();
    return exe + QStringLiteral(".cAniCursor");
}

void raiseSystemError(int code, std::source_location where) {
    throw AniCursorError(code | 10000, mTempFile::ApiErrorText(code), where);
}

void raiseRuntimeError(int number, std::source_location where) {
    throw AniCursorError(number, errorDescription(number), where);
}

} // namespace aniCursorErrors
