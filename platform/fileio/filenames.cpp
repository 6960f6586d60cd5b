#include "platform/fileio/filenames.h"

#include <QStringDecoder>

namespace fileio {

QString nameFromBytes(QByteArrayView bytes) {
    QStringDecoder decode(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decode(bytes);
}

} // namespace fileio
