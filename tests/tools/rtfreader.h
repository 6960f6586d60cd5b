#pragma once

// Reads the text of an RTF document back the way a word processor would: paragraphs,
// tabs, escaped characters and Unicode escapes; font tables and other destinations are
// skipped. Enough to prove that what we write opens as the text it was made from.

#include <QByteArray>
#include <QString>

namespace rtfreader {

// The text, one "\r\n" per paragraph mark; a null string when the document is malformed
// (not one balanced group starting with \rtf1).
QString PlainText(const QByteArray& rtf);

} // namespace rtfreader
