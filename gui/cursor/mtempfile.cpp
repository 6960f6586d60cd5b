#include "gui/cursor/mtempfile.h"

#include "gui/cursor/anicursorerror.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace mTempFile {

QString GetTempDir() {
    QString dir = QDir::tempPath();
    if (dir.isEmpty()) aniCursorErrors::raiseSystemError(ENOENT);
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

QString GetTempFileName(const QString& Prefix, const QString& Path) {
    QString dir = Path.isEmpty() ? GetTempDir() : Path;
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    // A prefix is a name part, never a way into another folder.
    if (Prefix.contains(QLatin1Char('/')) || Prefix.contains(QChar(0)))
        aniCursorErrors::raiseSystemError(EINVAL);
    QByteArray name = QFile::encodeName(dir + Prefix.left(3)) + "XXXXXX.tmp";
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) aniCursorErrors::raiseSystemError(errno);
    ::close(fd);
    return QFile::decodeName(name);
}

QString ApiErrorText(int code) {
    // strerror invents "Unknown error N" for codes it has no text for; those answer "".
    const char* text = code > 0 ? ::strerrordesc_np(code) : nullptr;
    return text ? QString::fromLatin1(text) : QString();
}

bool IsNT() {
    return false;
}

} // namespace mTempFile
