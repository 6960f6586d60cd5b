#pragma once

// Page counts of the checked rows, filled in after a search that ran with the "Pages"
// column hidden (the hand-off commands call it before they take the rows).

#include <QString>
#include <QStringList>

class PageCounter;

namespace filesearch {

// What the page counting needs of a grid; rows are numbered 0 .. rowCount() - 1.
class PageCountRows {
public:
    virtual ~PageCountRows() = default;
    virtual int rowCount() const = 0;
    virtual bool isChecked(int row) const = 0;
    virtual QString name(int row) const = 0;
    virtual QString location(int row) const = 0;
    virtual void setPagesText(int row, const QString& text) = 0;
};

// Does nothing while the "Pages" column is shown (its flag in `columnVisibility`, read as
// a number, is not 0): the search has counted already. Otherwise sets the "Pages" text of
// every checked TIFF and PDF row (same rules as the search); other rows are left alone.
// A failure is logged under "GetPageCount" and ends the run; rows done keep their text.
void GetPageCount(PageCountRows& rows, const QStringList& columnVisibility, int pagesPosition,
                  PageCounter* tiffCounter, PageCounter* pdfCounter);

} // namespace filesearch
