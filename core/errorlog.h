#pragma once

#include <QString>

namespace modGeneral {
// Appends "<message>- <date and time>\r\n" to Errors.Log in the data folder.
// Never fails towards its caller; writes nothing while the data folder is unknown.
void LogError(const QString& message);

// "Error N (description) in procedure P at Line No. L<owner>", without the time stamp.
// `owner` is the whole owner literal, e.g. " of Form frmMain at time" or " of Form dlgSave".
QString ComposeErrorMessage(int number, const QString& description, const QString& procedure, int line,
                            const QString& owner);
} // namespace modGeneral

using modGeneral::LogError;
