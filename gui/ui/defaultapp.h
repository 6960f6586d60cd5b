#pragma once

#include <QByteArray>

namespace platform {

// True when the desktop's MIME database names a default application for the file or folder
// at `nativePath` (its content type, as the file manager would see it).
bool hasDefaultApplication(const QByteArray& nativePath);

// True when the desktop names a program for links of `scheme` ("https", "mailto").
bool hasDefaultApplicationForScheme(const QByteArray& scheme);

} // namespace platform
