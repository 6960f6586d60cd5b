#pragma once

#include <QString>

// Temporary files and system error texts for the cursor code. Failures raise
// AniCursorError (number = errno OR 10000).
namespace mTempFile {

// The system temporary folder ($TMPDIR, else /tmp), with its trailing "/".
QString GetTempDir();

// Creates a new, empty file "<first 3 characters of Prefix>XXXXXX.tmp" in `Path`
// (the temporary folder when empty) and answers its full name. The file is made
// exclusively and readable only by the user, so nobody can plant a link there first.
QString GetTempFileName(const QString& Prefix, const QString& Path);

// The system's text for an errno value; "" for a code it does not know.
QString ApiErrorText(int code);

// Kept for callers that ask; this platform is never NT.
bool IsNT();

} // namespace mTempFile
