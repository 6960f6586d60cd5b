#pragma once

// The status summary of the checked rows of the result grid.

#include <QString>
#include <functional>

namespace resultgrid {

// What the summary needs of one data row.
struct SummaryRow {
    bool checked = false;
    QString name;
    QString pages;
};

// "<n> file selected; Total Page count of selected Tiff files: <pages>", counting the
// checked rows and adding up the "Pages" of those that are not PDF files; a "Pages"
// text that is not a number adds 0. `rowAt` is called for rows 1 to `rowCount` - 1.
QString SelectedFileSummary(int rowCount, const std::function<SummaryRow(int row)>& rowAt);

// The extension the summary tests: from the last "." of the name to its end, or empty.
QString SummaryExtension(const QString& name);

} // namespace resultgrid
