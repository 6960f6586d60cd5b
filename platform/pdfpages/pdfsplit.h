#pragma once

// Splitting a PDF into several.

#include "platform/fileio/outputset.h"

#include <QString>
#include <QStringList>

namespace pdfpages {

// With a whole-document range ("" or "0"), one file per page named `prefix` + page number +
// ".pdf"; otherwise one file per range item named `prefix` + item position + ".pdf". The
// numbers are zero-padded to the digits of the number of files. All files or none: they are
// put in place together once every one is written, and a failure leaves every target as it
// was. `written` receives the names.
bool splitPdf(const QString& source, const QString& range, const QString& prefix, const QString& password,
              fileio::Failure& failure, QStringList* written = nullptr);

} // namespace pdfpages
