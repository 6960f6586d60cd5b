#include "platform/shell/osversion.h"

#include <sys/utsname.h>

#include <cstdio>

namespace platform {

OsVersionInfo queryOsVersion() {
    OsVersionInfo info;
    utsname u{};
    if (uname(&u) != 0)
        return info;
    unsigned major = 0, minor = 0;
    if (std::sscanf(u.release, "%u.%u", &major, &minor) < 1)
        return info;
    info.ok = true;
    info.majorVersion = major;
    info.minorVersion = minor;
    info.platformId = 0;
    return info;
}

} // namespace platform
