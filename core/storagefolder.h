#pragma once

// The per-user data folder and the start-up write probe.

#include "platform/shell/osversion.h"

#include <QString>
#include <functional>

namespace modMasterLayout {

// Sets StoragePath to <application data>/Brevart Technologies/Quillmere 3.1 and creates it.
// When the application-data folder is unknown, shows "Unable to get file storage folder
// path" (critical icon) and answers false; when the folder cannot be created, answers false
// without a message.
bool GetStorageFolder();

// True when a small file could be written at `path` and deleted again.
bool CanWriteFile(const QString& path);

// True on the NT platform with major version 6, the one family whose data folder
// start-up must prove writable. Never true here; the probe is replaceable for tests.
bool IsWindowsVistaFamily();

using OsVersionProbe = std::function<platform::OsVersionInfo()>;
// Installs a version probe (an empty one restores the real one); answers the previous.
OsVersionProbe setOsVersionProbe(OsVersionProbe probe);

} // namespace modMasterLayout
