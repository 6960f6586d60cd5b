// The clone job's record (INI text): any bytes read; then a value set and read back, which
// must come back unchanged whatever text it holds, also after writing and reading the file.

#include "platform/profile/privateprofile.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    profile::PrivateProfile ini = profile::PrivateProfile::fromBytes(bytes);
    (void)ini.value(u"Clone", u"Status");
    if (profile::PrivateProfile::fromBytes(ini.toBytes()).toBytes() != ini.toBytes()) std::abort();

    const QString value = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 64)));
    ini.setValue(u"Fuzz", u"Value", value);
    if (ini.value(u"fuzz", u"VALUE") != value) std::abort();
    if (profile::PrivateProfile::fromBytes(ini.toBytes()).value(u"Fuzz", u"Value") != value) std::abort();
    return 0;
}
