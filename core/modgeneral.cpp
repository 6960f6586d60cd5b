#include "core/modgeneral.h"

namespace modGeneral {

namespace {

// The path without trailing separators, except that the root stays "/".
QString withoutTrailingSlashes(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.left(end);
}

} // namespace

QString GetFileName(const QString& path) {
    const QString p = withoutTrailingSlashes(path);
    if (p == QLatin1String("/"))
        return QString();
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

QString GetParentFolderName(const QString& path) {
    const QString p = withoutTrailingSlashes(path);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || p == QLatin1String("/"))
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return withoutTrailingSlashes(p.left(slash));
}

QString GetFileExt(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? path : path.mid(dot + 1);
}

QString ValidateDir(const QString& path) {
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

int16_t HiWord(int32_t value) { return static_cast<int16_t>(value >> 16); }

} // namespace modGeneral
