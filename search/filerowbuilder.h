#pragma once

// Builds the cell texts of one result row from a listed file.

#include "search/filerow.h"
#include "search/filesearchfinddata.h"

class PageCounter;

namespace platform {
class FileTypes;
}

namespace filesearch {

class FileRowBuilder {
public:
    explicit FileRowBuilder(platform::FileTypes& types);

    // Page counts are asked only while the "Pages" column is shown; otherwise the cell stays
    // empty and the counts come later for the checked rows.
    void setPageCounting(bool pagesShown, PageCounter* tiffCounter, PageCounter* pdfCounter);

    FileRow build(const QString& folder, const FindData& file);

    // Whether the column at `position` is shown by a "ColumnVisibility" text ("1" = shown).
    static bool isColumnShown(const QString& columnVisibility, int position);

private:
    platform::FileTypes& m_types;
    bool m_pagesShown = false;
    PageCounter* m_tiff = nullptr;
    PageCounter* m_pdf = nullptr;
};

} // namespace filesearch
