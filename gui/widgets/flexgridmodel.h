#pragma once

// Storage behind FlexGrid: compact rows of cells, one column description per column, and
// the Qt model interface the view reads. Model row r is grid row r + 1 (the grid's header
// row is the model's horizontal header). Rows appended while a batch is open are stored at
// once but announced to views only when the batch closes, in one insert.

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <vector>

struct FlexCell {
    QString text;
    QRgb fore = 0;
    quint16 picture = 0; // index into the picture table; 0 = none
    quint8 check = 2;    // FlexCheck; meaningful in Boolean columns only
    bool hasFore = false;
};

struct FlexColumn {
    QString caption;
    QString format;
    QString key;
    int widthTwips = 1000;
    int dataType = 8;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::TextElideMode elide = Qt::ElideRight;
    bool hidden = false;
};

class FlexGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Row = std::vector<FlexCell>;

    // Answered true for cells of Boolean columns (the delegate centres their box).
    static constexpr int BooleanRole = Qt::UserRole + 1;
    // The column's Qt::TextElideMode, for a text too long for its cell.
    static constexpr int ElideRole = Qt::UserRole + 2;
    // Answered true for cells of decimal columns, whose numbers are never cut.
    static constexpr int DecimalRole = Qt::UserRole + 3;

    explicit FlexGridModel(QObject* parent = nullptr);

    // Qt model interface (announced rows only).
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Storage, by 0-based data row.
    int storedRows() const { return int(m_rows.size()); }
    int cols() const { return int(m_columns.size()); }
    FlexCell& cell(int r, int c) { return m_rows[size_t(r)][size_t(c)]; }
    const FlexCell& cell(int r, int c) const { return m_rows[size_t(r)][size_t(c)]; }
    FlexColumn& column(int c) { return m_columns[size_t(c)]; }
    const FlexColumn& column(int c) const { return m_columns[size_t(c)]; }
    bool isBoolean(int c) const;
    // The text a cell reads as: Boolean cells answer "1", "0" or "" for their state.
    QString cellText(int r, int c) const;

    void setDataRows(int n);
    void setColumnCountTo(int n);
    void appendRows(const QList<QStringList>& rows);
    void setCellText(int r, int c, const QString& text);
    void removeDataRow(int r);
    void moveDataRow(int from, int to);
    void moveColumn(int from, int to);
    // Reorders the rows so that new row i is old row order[i].
    void permuteRows(const std::vector<int>& order);

    quint16 pictureIndex(const QIcon& icon);
    QIcon picture(quint16 index) const;

    void beginBatch() { ++m_batch; }
    void endBatch();
    bool batching() const { return m_batch > 0; }
    // Announces every stored row to the views.
    void flush();

    // Change notices for the views; rows not yet announced are skipped.
    void cellChanged(int r, int c);
    void rangeChanged(int r1, int c1, int r2, int c2);
    void columnChanged(int c);
    void headerChanged(int c);

private:
    Row emptyRow() const;
    void shareWithAbove(int r, int c);
    void reserveFor(size_t n);

    std::vector<Row> m_rows;
    std::vector<FlexColumn> m_columns;
    QList<QIcon> m_pictures;
    QHash<qint64, quint16> m_pictureByKey;
    int m_announced = 0;
    int m_batch = 0;
};
