#pragma once

#include <cstdint>

namespace platform {

// What the system reports about its own version, in the terms start-up tests for.
struct OsVersionInfo {
    bool ok = false;         // the query answered
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t platformId = 0; // 2 only on the NT platform; 0 here
};

// The running system's version: the kernel's major and minor numbers, platform 0.
OsVersionInfo queryOsVersion();

} // namespace platform
