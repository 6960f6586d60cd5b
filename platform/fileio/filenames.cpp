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

QString failureReason(const QString& path, int err) {
    if ((err == ENOENT || err == ENOTDIR) && path.contains(QChar::ReplacementCharacter))
        return QStringLiteral("the name cannot be represented (it is not valid UTF-8)");
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace fileio
