#include "gui/widgets/flexgrid.h"

#include "core/errortrap.h"
#include "core/flexsort.h"
#include "core/runtimeerror.h"
#include "gui/widgets/flexgriddelegate.h"
#include "gui/widgets/flexgridmodel.h"
#include "gui/widgets/flexgridview.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

namespace {
constexpr int kInvalidIndex = 381;
constexpr int kInvalidValue = 380;

// Where index i ends up when the column at `from` moves to `to`.
int followMove(int i, int from, int to) {
    if (i == from) return to;
    if (from < to && i > from && i <= to) return i - 1;
    if (to < from && i >= to && i < from) return i + 1;
    return i;
}
} // namespace

FlexGrid::FlexGrid(QWidget* parent) : QWidget(parent), m_model(new FlexGridModel(this)) {
    m_view = new FlexGridView(this);
    m_view->setItemDelegate(new FlexGridDelegate(m_view));
    m_view->setModel(m_model);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);

    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSortingEnabled(false);
    m_view->setWordWrap(false);
    // Tab goes on to the next control, as in any other control: moving from cell to cell
    // it would wrap round inside the grid and never leave it.
    m_view->setTabKeyNavigation(false);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Column widths are kept in twips sized for an 8-point font; a larger desktop font
    // would cut dates and headers off, so the grid keeps to 8 points.
    QFont gridFont = m_view->font();
    if (gridFont.pointSizeF() > 8.0) {
        gridFont.setPointSizeF(8.0);
        m_view->setFont(gridFont);
        m_view->horizontalHeader()->setFont(gridFont);
    }

    // Uniform rows: no per-row sizing, whatever the row count.
    QHeaderView* vh = m_view->verticalHeader();
    vh->hide();
    vh->setSectionResizeMode(QHeaderView::Fixed);
    vh->setDefaultSectionSize(std::max(20, m_view->fontMetrics().height() + 6));

    QHeaderView* hh = m_view->horizontalHeader();
    hh->setMinimumSectionSize(1); // the check column is only 250 twips wide
    hh->setDefaultSectionSize(PixelsFromTwips(1000));
    hh->setStretchLastSection(false);
    hh->setHighlightSections(false);
    hh->setSectionsClickable(true);
    hh->setSectionsMovable(false);
    hh->setSortIndicatorShown(false);
    connect(hh, &QHeaderView::sectionMoved, this, &FlexGrid::onHeaderMoved);
    connect(hh, &QHeaderView::sectionClicked, this, &FlexGrid::onHeaderClicked);
    connect(hh, &QHeaderView::sectionResized, this, &FlexGrid::onHeaderResized);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FlexGrid::SelChange);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) m_col = current.column();
            });
}

FlexGrid::~FlexGrid() = default;

void FlexGrid::checkRow(int row) const {
    if (row < 0 || row >= Rows()) raiseError(kInvalidIndex, QStringLiteral("Subscript out of range"));
}

void FlexGrid::checkCol(int col) const {
    if (col < 0 || col >= Cols()) raiseError(kInvalidIndex, QStringLiteral("Subscript out of range"));
}

// --- shape ------------------------------------------------------------------------------

int FlexGrid::Rows() const {
    return m_model->storedRows() + 1;
}

void FlexGrid::setRows(int rows) {
    m_model->setDataRows(std::max(rows, 1) - 1);
}

int FlexGrid::Cols() const {
    return m_model->cols();
}

void FlexGrid::setCols(int cols) {
    if (cols < 0) raiseError(kInvalidValue, QStringLiteral("Invalid property value"));
    m_model->setColumnCountTo(cols);
    applyAllColumnsToView();
}

// --- cells ------------------------------------------------------------------------------

QString FlexGrid::TextMatrix(int row, int col) const {
    checkRow(row);
    checkCol(col);
    return row == 0 ? m_model->column(col).caption : m_model->cellText(row - 1, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
    checkRow(row);
    checkCol(col);
    if (row == 0) {
        m_model->column(col).caption = text;
        m_model->headerChanged(col);
    } else {
        m_model->setCellText(row - 1, col, text);
    }
}

int FlexGrid::CellChecked(int row, int col) const {
    checkRow(row);
    checkCol(col);
    if (row == 0 || !m_model->isBoolean(col)) return flexNoCheckbox;
    return m_model->cell(row - 1, col).check;
}

void FlexGrid::setCellChecked(int row, int col, int state) {
    setCellCheckedRange(row, col, row, col, state);
}

void FlexGrid::setCellCheckedRange(int row1, int col1, int row2, int col2, int state) {
    checkRow(row1);
    checkRow(row2);
    checkCol(col1);
    checkCol(col2);
    if (state != flexNoCheckbox && state != flexChecked && state != flexUnchecked)
        raiseError(kInvalidValue, QStringLiteral("Invalid property value"));
    const int r1 = std::max(1, std::min(row1, row2));
    const int r2 = std::max(row1, row2);
    const int c1 = std::min(col1, col2);
    const int c2 = std::max(col1, col2);
    bool any = false;
    for (int c = c1; c <= c2; ++c) {
        if (!m_model->isBoolean(c)) continue;
        for (int r = r1; r <= r2; ++r)
            m_model->cell(r - 1, c).check = quint8(state);
        any = true;
    }
    if (any && r1 <= r2) m_model->rangeChanged(r1 - 1, c1, r2 - 1, c2);
}

QIcon FlexGrid::CellPicture(int row, int col) const {
    checkRow(row);
    checkCol(col);
    return row == 0 ? QIcon() : m_model->picture(m_model->cell(row - 1, col).picture);
}

void FlexGrid::setCellPicture(int row, int col, const QIcon& picture) {
    checkRow(row);
    checkCol(col);
    if (row == 0) return;
    m_model->cell(row - 1, col).picture = m_model->pictureIndex(picture);
    m_model->cellChanged(row - 1, col);
}

QColor FlexGrid::CellForeColor(int row, int col) const {
    checkRow(row);
    checkCol(col);
    if (row == 0) return {};
    const FlexCell& c = m_model->cell(row - 1, col);
    return c.hasFore ? QColor::fromRgb(c.fore) : QColor();
}

void FlexGrid::setCellForeColor(int row, int col, const QColor& color) {
    checkRow(row);
    checkCol(col);
    if (row == 0) return;
    FlexCell& c = m_model->cell(row - 1, col);
    c.hasFore = color.isValid();
    c.fore = color.isValid() ? color.rgb() : 0;
    m_model->cellChanged(row - 1, col);
}

// --- rows -------------------------------------------------------------------------------

int FlexGrid::AddItem(const QStringList& cells) {
    m_model->appendRows({cells});
    return Rows() - 1;
}

void FlexGrid::AddRows(const QList<QStringList>& rows) {
    m_model->appendRows(rows);
}

void FlexGrid::BeginAppend() {
    m_model->beginBatch();
}

void FlexGrid::EndAppend() {
    m_model->endBatch();
}

void FlexGrid::RemoveItem(int row) {
    checkRow(row);
    if (row == 0) raiseError(kInvalidIndex, QStringLiteral("Subscript out of range"));
    m_model->removeDataRow(row - 1);
}

void FlexGrid::RowPosition(int row, int newPosition) {
    checkRow(row);
    checkRow(newPosition);
    if (row == 0 || newPosition == 0) raiseError(kInvalidIndex, QStringLiteral("Subscript out of range"));
    m_model->moveDataRow(row - 1, newPosition - 1);
}

// --- columns ----------------------------------------------------------------------------

int FlexGrid::ColWidth(int col) const {
    checkCol(col);
    return m_model->column(col).widthTwips;
}

void FlexGrid::setColWidth(int col, int twips) {
    checkCol(col);
    m_model->column(col).widthTwips = std::max(twips, 0);
    applyColumnToView(col);
}

bool FlexGrid::ColHidden(int col) const {
    checkCol(col);
    return m_model->column(col).hidden;
}

void FlexGrid::setColHidden(int col, bool hidden) {
    checkCol(col);
    m_model->column(col).hidden = hidden;
    applyColumnToView(col);
}

int FlexGrid::ColDataType(int col) const {
    checkCol(col);
    return m_model->column(col).dataType;
}

void FlexGrid::setColDataType(int col, int type) {
    checkCol(col);
    m_model->column(col).dataType = type;
    m_model->columnChanged(col);
}

QString FlexGrid::ColFormat(int col) const {
    checkCol(col);
    return m_model->column(col).format;
}

void FlexGrid::setColFormat(int col, const QString& format) {
    checkCol(col);
    m_model->column(col).format = format;
    m_model->columnChanged(col);
}

Qt::TextElideMode FlexGrid::ColElide(int col) const {
    checkCol(col);
    return m_model->column(col).elide;
}

void FlexGrid::setColElide(int col, Qt::TextElideMode mode) {
    checkCol(col);
    m_model->column(col).elide = mode;
    m_model->columnChanged(col);
}

Qt::Alignment FlexGrid::ColAlignment(int col) const {
    checkCol(col);
    return m_model->column(col).alignment;
}

void FlexGrid::setColAlignment(int col, Qt::Alignment alignment) {
    if (col == -1) {
        for (int c = 0; c < Cols(); ++c)
            setColAlignment(c, alignment);
        return;
    }
    checkCol(col);
    m_model->column(col).alignment = alignment;
    m_model->columnChanged(col);
}

QString FlexGrid::ColKey(int col) const {
    checkCol(col);
    return m_model->column(col).key;
}

void FlexGrid::setColKey(int col, const QString& key) {
    checkCol(col);
    m_model->column(col).key = key;
}

void FlexGrid::ColPosition(int col, int newPosition) {
    checkCol(col);
    checkCol(newPosition);
    if (col == newPosition) return;
    m_model->moveColumn(col, newPosition);
    m_col = followMove(m_col, col, newPosition);
    m_lastSortCol = m_lastSortCol < 0 ? -1 : followMove(m_lastSortCol, col, newPosition);
    applyAllColumnsToView();
    // The header marks sections by number: the mark moves with the sorted column.
    QHeaderView* hh = m_view->horizontalHeader();
    if (m_lastSortCol >= 0) hh->setSortIndicator(m_lastSortCol, hh->sortIndicatorOrder());
}

void FlexGrid::applyColumnToView(int col) {
    QHeaderView* hh = m_view->horizontalHeader();
    const FlexColumn& c = m_model->column(col);
    m_syncingHeader = true;
    hh->setSectionHidden(col, c.hidden);
    if (!c.hidden) hh->resizeSection(col, PixelsFromTwips(c.widthTwips));
    m_syncingHeader = false;
}

void FlexGrid::applyAllColumnsToView() {
    // Keep display order = model order, whatever the header did on its own.
    QHeaderView* hh = m_view->horizontalHeader();
    m_syncingHeader = true;
    for (int c = 0; c < Cols(); ++c)
        if (hh->visualIndex(c) != c) hh->moveSection(hh->visualIndex(c), c);
    m_syncingHeader = false;
    for (int c = 0; c < Cols(); ++c)
        applyColumnToView(c);
}

void FlexGrid::onHeaderMoved(int, int oldVisual, int newVisual) {
    if (m_syncingHeader) return;
    // Put the header back, then move the data: grid column number stays display position.
    m_syncingHeader = true;
    m_view->horizontalHeader()->moveSection(newVisual, oldVisual);
    m_syncingHeader = false;
    if (oldVisual == newVisual) return;
    quietly([&] {
        ColPosition(oldVisual, newVisual);
        emit AfterMoveColumn(oldVisual, newVisual);
    });
}

void FlexGrid::onHeaderResized(int logical, int, int newSize) {
    if (m_syncingHeader || logical >= Cols() || m_view->horizontalHeader()->isSectionHidden(logical)) return;
    m_model->column(logical).widthTwips = TwipsFromPixels(newSize);
}

// --- behaviour --------------------------------------------------------------------------

bool FlexGrid::Editable() const {
    return m_editable;
}

void FlexGrid::setEditable(bool on) {
    m_editable = on;
}

bool FlexGrid::UserSort() const {
    return m_userSort;
}

void FlexGrid::setUserSort(bool on) {
    m_userSort = on;
    m_view->horizontalHeader()->setSortIndicatorShown(on);
}

bool FlexGrid::UserMoveColumns() const {
    return m_userMove;
}

void FlexGrid::setUserMoveColumns(bool on) {
    m_userMove = on;
    m_view->horizontalHeader()->setSectionsMovable(on);
}

bool FlexGrid::Redraw() const {
    return m_redraw;
}

void FlexGrid::setRedraw(bool on) {
    if (on == m_redraw) return;
    m_redraw = on;
    if (on) {
        m_model->endBatch();
        m_view->setUpdatesEnabled(true);
    } else {
        m_view->setUpdatesEnabled(false);
        m_model->beginBatch();
    }
}

bool FlexGrid::tickable(int row, int col) const {
    return row >= 1 && row < Rows() && col >= 0 && col < Cols() && m_model->isBoolean(col) &&
           m_model->cell(row - 1, col).check != flexNoCheckbox;
}

void FlexGrid::toggleCell(int row, int col) {
    FlexCell& c = m_model->cell(row - 1, col);
    c.check = c.check == flexChecked ? flexUnchecked : flexChecked;
    m_model->cellChanged(row - 1, col);
    emit AfterEdit(row, col);
}

// --- cursor and highlighted range ----------------------------------------------------------

int FlexGrid::Row() const {
    const QModelIndex cur = m_view->currentIndex();
    return cur.isValid() ? cur.row() + 1 : -1;
}

int FlexGrid::Col() const {
    return Cols() == 0 ? -1 : std::clamp(m_col, 0, Cols() - 1);
}

int FlexGrid::RowSel() const {
    int r1, c1, r2, c2;
    GetSelection(r1, c1, r2, c2);
    return Row() == r1 ? r2 : r1;
}

int FlexGrid::ColSel() const {
    int r1, c1, r2, c2;
    GetSelection(r1, c1, r2, c2);
    return Col() == c1 ? c2 : c1;
}

void FlexGrid::setRow(int row) {
    Select(row, std::max(Col(), 0));
}

void FlexGrid::setCol(int col) {
    checkCol(col);
    m_col = col;
    const QModelIndex cur = m_view->currentIndex();
    if (cur.isValid())
        m_view->selectionModel()->setCurrentIndex(m_model->index(cur.row(), col),
                                                  QItemSelectionModel::NoUpdate);
}

void FlexGrid::GetSelection(int& row1, int& col1, int& row2, int& col2) const {
    row1 = col1 = row2 = col2 = -1;
    const QItemSelection sel = m_view->selectionModel()->selection();
    for (const QItemSelectionRange& range : sel) {
        if (!range.isValid()) continue;
        row1 = row1 < 0 ? range.top() + 1 : std::min(row1, range.top() + 1);
        row2 = std::max(row2, range.bottom() + 1);
        col1 = col1 < 0 ? range.left() : std::min(col1, range.left());
        col2 = std::max(col2, range.right());
    }
    if (row1 < 0 && Row() >= 1) {
        row1 = row2 = Row();
        col1 = col2 = Col();
    }
}

void FlexGrid::Select(int row1, int col1, int row2, int col2) {
    row2 = row2 < 0 ? row1 : row2;
    col2 = col2 < 0 ? col1 : col2;
    checkRow(row1);
    checkRow(row2);
    checkCol(col1);
    checkCol(col2);
    if (row1 == 0 || row2 == 0) raiseError(kInvalidIndex, QStringLiteral("Subscript out of range"));
    m_model->flush();
    QItemSelectionModel* sm = m_view->selectionModel();
    m_col = col1;
    sm->setCurrentIndex(m_model->index(row1 - 1, col1), QItemSelectionModel::NoUpdate);
    sm->select(QItemSelection(m_model->index(std::min(row1, row2) - 1, std::min(col1, col2)),
                              m_model->index(std::max(row1, row2) - 1, std::max(col1, col2))),
               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QList<int> FlexGrid::SelectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.append(r + 1);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty() && Row() >= 1) rows.append(Row());
    return rows;
}

int FlexGrid::MouseRow() const {
    return m_mouseRow;
}

int FlexGrid::MouseCol() const {
    return m_mouseCol;
}

int FlexGrid::ShiftState(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

int FlexGrid::ButtonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

QTableView* FlexGrid::view() const {
    return m_view;
}

FlexGridModel* FlexGrid::model() const {
    return m_model;
}

// --- search -----------------------------------------------------------------------------

int FlexGrid::FindRow(const QString& text, int startRow, int col) const {
    checkCol(col);
    const int first = startRow < 1 ? 1 : startRow;
    for (int r = first; r < Rows(); ++r)
        if (m_model->cellText(r - 1, col).compare(text, Qt::CaseInsensitive) == 0) return r;
    return -1;
}

// --- sorting ----------------------------------------------------------------------------

void FlexGrid::setSort(int order) {
    if (Cols() > 0) sortNow(std::max(Col(), 0), order);
}

void FlexGrid::SortBy(int col, int order) {
    checkCol(col);
    sortNow(col, order);
}

void FlexGrid::setCompareHook(CompareHook hook) {
    m_compareHook = std::move(hook);
}

FlexGrid::Comparator FlexGrid::DefaultComparator(int col, int order) const {
    checkCol(col);
    if (order == flexSortNumericAscending || order == flexSortNumericDescending)
        return flexsort::compareNumeric;
    const FlexColumn& c = m_model->column(col);
    if (c.dataType == flexDTDate)
        return [format = c.format](const QString& a, const QString& b) {
            return flexsort::compareDates(a, b, format);
        };
    if (c.dataType == flexDTDecimal) return flexsort::compareNumeric;
    return flexsort::compareText;
}

namespace {
// A precomputed sort key for the grid's own rules: texts without a value rank below values.
struct SortKey {
    bool hasValue = false;
    double value = 0;
    QString folded;
};

SortKey keyFor(const QString& text, int dataType, const QString& format, bool numeric) {
    SortKey k;
    if (numeric || dataType == flexDTDecimal) {
        k.hasValue = flexsort::leadingNumber(text, k.value);
    } else if (dataType == flexDTDate) {
        k.hasValue = flexsort::dateSortValue(text, format, k.value);
    }
    if (!k.hasValue) k.folded = text.toCaseFolded();
    return k;
}

int compareKeys(const SortKey& a, const SortKey& b) {
    if (a.hasValue != b.hasValue) return a.hasValue ? 1 : -1;
    if (a.hasValue) return a.value < b.value ? -1 : (b.value < a.value ? 1 : 0);
    return a.folded.compare(b.folded);
}
} // namespace

void FlexGrid::sortNow(int col, int order) {
    if (order < flexSortGenericAscending || order > flexSortNumericDescending) return;
    m_model->flush();
    const int n = m_model->storedRows();
    const bool descending = order == flexSortGenericDescending || order == flexSortNumericDescending;
    std::vector<int> perm(static_cast<size_t>(n));
    std::iota(perm.begin(), perm.end(), 0);

    Comparator custom = m_compareHook ? m_compareHook(col, order) : Comparator();
    if (custom) {
        std::vector<QString> texts(static_cast<size_t>(n));
        for (int r = 0; r < n; ++r)
            texts[size_t(r)] = m_model->cellText(r, col);
        std::stable_sort(perm.begin(), perm.end(), [&](int a, int b) {
            return descending ? custom(texts[size_t(b)], texts[size_t(a)]) < 0
                              : custom(texts[size_t(a)], texts[size_t(b)]) < 0;
        });
    } else {
        const FlexColumn& c = m_model->column(col);
        const bool numeric = order == flexSortNumericAscending || order == flexSortNumericDescending;
        std::vector<SortKey> keys(static_cast<size_t>(n));
        for (int r = 0; r < n; ++r)
            keys[size_t(r)] = keyFor(m_model->cellText(r, col), c.dataType, c.format, numeric);
        std::stable_sort(perm.begin(), perm.end(), [&](int a, int b) {
            return descending ? compareKeys(keys[size_t(b)], keys[size_t(a)]) < 0
                              : compareKeys(keys[size_t(a)], keys[size_t(b)]) < 0;
        });
    }
    m_model->permuteRows(perm);

    // The highlighted range means nothing after rows moved: keep the cursor row alone.
    const QModelIndex cur = m_view->currentIndex();
    if (cur.isValid())
        m_view->selectionModel()->select(cur,
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view->horizontalHeader()->setSortIndicator(col, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_lastSortCol = col;
    m_lastSortOrder = order;
    emit AfterSort(col, order);
}

void FlexGrid::onHeaderClicked(int logical) {
    if (!m_userSort || logical < 0 || logical >= Cols()) return;
    // A second click on the column sorted ascending asks for descending, as list headers do.
    const bool wasAscending = m_lastSortCol == logical && (m_lastSortOrder == flexSortGenericAscending ||
                                                           m_lastSortOrder == flexSortNumericAscending);
    int order = wasAscending ? flexSortGenericDescending : flexSortGenericAscending;
    quietly([&] {
        emit BeforeSort(logical, order);
        if (order == flexSortNone) return;
        sortNow(logical, order);
        setCol(logical);
    });
}
