#include "platform/fileio/filenames.h"

#include <QStringDecoder>
#include <cerrno>
#include <cstring>

namespace fileio {

QString nameFromBytes(QByteArrayView bytes) {
    QStringDecoder decode(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decode(bytes);
}

namespace {

bool unrepresentable(const QString& path) { return path.contains(QChar::ReplacementCharacter); }

QString unrepresentableReason() { return QStringLiteral("the name cannot be represented (it is not valid UTF-8)"); }

} // namespace

QString failureReason(const QString& path, int err) {
    if ((err == ENOENT || err == ENOTDIR) && unrepresentable(path)) return unrepresentableReason();
    return QString::fromLocal8Bit(std::strerror(err));
}

QString notFoundReason(const QString& path) {
    return unrepresentable(path) ? unrepresentableReason() : QStringLiteral("file not found");
}

} // namespace fileio
