#pragma once

// Plain text as a rich-text (RTF) document that word processors open: one paragraph per
// line (CR LF, CR or LF ends a line), "\", "{" and "}" escaped, every character beyond
// ASCII as a Unicode escape, in a fixed-pitch font so the report's rules line up.

#include <QByteArray>
#include <QString>

namespace rtftext {

QByteArray FromPlainText(const QString& text);

} // namespace rtftext
