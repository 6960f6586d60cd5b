// Builds a file grid of 100,000 rows the way the search does (one row at a time with
// drawing off) and in bulk, then sorts it by each kind of column. Prints times and the
// resident memory; not a pass/fail check.
#include "core/flexsort.h"
#include "gui/widgets/flexgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTableView>
#include <cstdio>

namespace {

enum { cName, cSel, cPages, cLoc, cSize, cType, cCreated, cModified, kCols };

long residentKB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void setUp(FlexGrid& g) {
    g.setCols(kCols);
    const char* captions[] = {"Name",         "Selection", "Pages",        "Location",
                              "Size (In KB)", "Type",      "Created Date", "Modified Date"};
    const int types[] = {8, 11, 14, 8, 14, 8, 7, 7};
    for (int c = 0; c < kCols; ++c) {
        g.setTextMatrix(0, c, QString::fromLatin1(captions[c]));
        g.setColDataType(c, types[c]);
    }
    g.setColFormat(cCreated, QStringLiteral("dd/mm/yyyy hh:mm ampm"));
    g.setColFormat(cModified, QStringLiteral("dd/mm/yyyy hh:mm ampm"));
}

QStringList rowTexts(int i, QRandomGenerator& rnd) {
    const QDateTime when = QDateTime(QDate(2015, 1, 1), QTime(0, 0)).addSecs(rnd.bounded(300000000));
    const QString date = QLocale(QLocale::English).toString(when, QStringLiteral("dd/MM/yyyy hh:mm AP"));
    const bool pdf = i % 3 == 0;
    return {QStringLiteral("scan_%1_page%2.%3").arg(rnd.bounded(5000)).arg(i % 97).arg(pdf ? "pdf" : "tif"),
            QString(),
            i % 50 == 0 ? QStringLiteral("Error") : QString::number(rnd.bounded(1, 400)),
            QStringLiteral("/srv/archive/2024/batch_%1/incoming").arg(i / 1000),
            QLocale(QLocale::English, QLocale::UnitedStates).toString(rnd.bounded(1, 90000)) +
                QStringLiteral(" KB"),
            pdf ? QStringLiteral("PDF document") : QStringLiteral("TIFF image"),
            date,
            date};
}

void report(const char* what, QElapsedTimer& t) {
    std::printf("%-44s %8lld ms   RSS %6ld MB\n", what, static_cast<long long>(t.restart()),
                residentKB() / 1024);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QPixmap px(16, 16);
    px.fill(Qt::darkYellow);
    const QIcon icon(px);
    std::printf("rows: %d, RSS at start %ld MB\n", rows, residentKB() / 1024);

    QElapsedTimer t;
    t.start();
    {
        FlexGrid g;
        setUp(g);
        g.resize(1200, 800);
        g.show();
        QRandomGenerator rnd(42);
        QList<QStringList> texts;
        texts.reserve(rows);
        for (int i = 0; i < rows; ++i)
            texts.append(rowTexts(i, rnd));
        t.restart();
        // As the search appends: one row, then its cells, drawing off meanwhile.
        g.setRedraw(false);
        for (int i = 0; i < rows; ++i) {
            const QStringList& cells = texts[i];
            const int r = g.Rows();
            g.setRows(r + 1);
            for (int c = 0; c < kCols; ++c)
                if (c != cSel) g.setTextMatrix(r, c, cells[c]);
            g.setCellPicture(r, cName, icon);
        }
        g.setRedraw(true);
        report("append row by row (drawing off)", t);

        g.setCompareHook([](int col, int order) -> FlexGrid::Comparator {
            if (col == cName && order >= 3) return flexsort::naturalCompare;
            return {};
        });
        g.SortBy(cName, 3);
        report("sort Name, natural (hook)", t);
        g.SortBy(cName, 2);
        report("sort Name, text descending", t);
        g.SortBy(cSize, 3);
        report("sort Size (In KB), numeric", t);
        g.SortBy(cPages, 4);
        report("sort Pages, numeric descending", t);
        g.SortBy(cCreated, 1);
        report("sort Created Date, as dates", t);
        g.setCellCheckedRange(1, cSel, g.Rows() - 1, cSel, flexChecked);
        int found = 0;
        for (int r = g.FindRow(QStringLiteral("error"), 1, cPages); r > 0;
             r = g.FindRow(QStringLiteral("error"), r + 1, cPages)) {
            g.setCellChecked(r, cSel, flexNoCheckbox);
            ++found;
        }
        report("check all, then clear the Error rows", t);
        std::printf("  (%d Error rows)\n", found);
        g.setRows(1);
        report("clear", t);
        texts.clear();
    }
    {
        FlexGrid g;
        setUp(g);
        QRandomGenerator rnd(7);
        QList<QStringList> all;
        all.reserve(rows);
        for (int i = 0; i < rows; ++i)
            all.append(rowTexts(i, rnd));
        t.restart();
        g.AddRows(all);
        report("AddRows in one batch", t);
    }
    return 0;
}
