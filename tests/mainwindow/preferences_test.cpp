#include "tests/mainwindow/mainwindowfixture.h"

#include "mainwindow/frmpreferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

const QString kDefaultOrder =
    QStringLiteral("Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date");
const QString kDefaultWidths = QStringLiteral("1800,250,700,1800,1000,1400,2000,2000");

// Records which setting each save of the file carried, in order.
class RecordingSettings : public CountingSettings {
public:
    QStringList changes;

protected:
    bool writeRecord(const QString& path, const QByteArray& record, int& errorNumber,
                     QString& description) override {
        const QStringList now = values();
        for (int i = 0; i < now.size(); ++i)
            if (i >= m_last.size() || now[i] != m_last[i]) changes << kNames[i] + "=" + now[i];
        m_last = now;
        return CountingSettings::writeRecord(path, record, errorNumber, description);
    }

private:
    inline static const QStringList kNames{"ColumnVisibility", "ColumnReOrder", "LastGridColWidth", "StartupFolder",
                                           "WindowStateFlag",  "WindowStateValue", "LastGridColWidthFlag",
                                           "SortbyNumeric"};
    QStringList values() const {
        return {ColumnVisibility(),
                ColumnReOrder(),
                LastGridColWidth(),
                StartupFolder(),
                QString::number(WindowStateFlag()),
                QString::number(WindowStateValue()),
                QString::number(LastGridColWidthFlag()),
                QString::number(SortbyNumeric())};
    }
    QStringList m_last;
};

QStringList gridColumn(const FlexGrid* g, int col) {
    QStringList out;
    for (int r = 1; r < g->Rows(); ++r)
        out << (col == frmPreferences::ColVisible ? QString::number(g->CellChecked(r, col)) : g->TextMatrix(r, col));
    return out;
}

} // namespace

struct Preferences : MainWindowFixture {
    Preferences() {
        auto recording = std::make_unique<RecordingSettings>();
        recording->LoadDefaultSettings();
        recording->setStartupFolder(settings->StartupFolder());
        recorder = recording.get();
        settings = std::move(recording);
        AppSettings = settings.get();
        modGeneral::LoadGridColumns();
    }
    RecordingSettings* recorder = nullptr;
};

TEST_F(Preferences, SaveWritesTheRowsListsThenTheOtherSettingsInOrder) {
    settings->setColumnVisibility("1,1,0,1,1,1,1,1");
    settings->setLastGridColWidth("1800,250,700,1800,1000.5,1400,2000,2000");
    frmPreferences p;
    EXPECT_EQ(p.windowTitle(), "Set Preferences");
    EXPECT_FALSE(p.IsPreferanceChange);
    const FlexGrid* g = p.vsColumnSettings;
    EXPECT_EQ(headers(g), (QStringList{"Sr#", "Column Name", "Visible", "WIDTH"}));
    EXPECT_EQ(gridColumn(g, frmPreferences::ColSr), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(gridColumn(g, frmPreferences::ColName).join(','), kDefaultOrder);
    EXPECT_EQ(gridColumn(g, frmPreferences::ColWidth).join(','), "1800,250,700,1800,1000.5,1400,2000,2000");
    EXPECT_EQ(gridColumn(g, frmPreferences::ColVisible).join(','), "1,1,2,1,1,1,1,1");

    // Change every value, so that each save shows which one it carried.
    p.vsColumnSettings->setRow(2);
    p.cmdUp->click();
    p.cmdInvertSelection->click();
    p.txtStartUpFolder->setText("/somewhere/typed");
    p.chkDefaultWindowState->click();
    p.chkLastGridColWidth->setChecked(false);
    p.chkSortbyNumeric->setChecked(true);
    recorder->changes.clear();
    recorder->writes = 0;
    p.cmdOK->click();
    EXPECT_TRUE(p.IsPreferanceChange);
    EXPECT_EQ(recorder->changes,
              (QStringList{"ColumnVisibility=0,0,1,0,0,0,0,0",
                           "ColumnReOrder=Selection,Name,Pages,Location,Size (In KB),Type,Created Date,Modified Date",
                           "LastGridColWidth=250,1800,700,1800,1000.5,1400,2000,2000",
                           "StartupFolder=/somewhere/typed", "WindowStateFlag=0", "WindowStateValue=0",
                           "LastGridColWidthFlag=0", "SortbyNumeric=1"}));
    EXPECT_EQ(recorder->writes, 8);
    EXPECT_EQ(arrColumnReOrder.first(), "Selection");
}

TEST_F(Preferences, UpAndDownMoveTheCurrentRowWithinTheListAndTheListsFollowTheRows) {
    settings->setColumnVisibility("1,1,0,1,1,1,1,1");
    frmPreferences p;
    FlexGrid* g = p.vsColumnSettings;
    g->setRow(1);
    p.cmdUp->click(); // first row: nothing
    EXPECT_EQ(gridColumn(g, frmPreferences::ColName).join(','), kDefaultOrder);
    g->setRow(8);
    p.cmdDown->click(); // last row: nothing
    EXPECT_EQ(gridColumn(g, frmPreferences::ColName).join(','), kDefaultOrder);

    g->setRow(3);
    p.cmdUp->click();
    p.cmdUp->click();
    EXPECT_EQ(g->Row(), 1);
    EXPECT_EQ(gridColumn(g, frmPreferences::ColSr), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    p.cmdOK->click();
    EXPECT_EQ(settings->ColumnReOrder(),
              "Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    EXPECT_EQ(settings->LastGridColWidth(), "700,1800,250,1800,1000,1400,2000,2000");
    EXPECT_EQ(settings->ColumnVisibility(), "0,1,1,1,1,1,1,1");
}

TEST_F(Preferences, OnlyTheVisibleBoxesCanBeChangedByMouseOrKeyboard) {
    frmPreferences p;
    p.show();
    FlexGrid* g = p.vsColumnSettings;
    QTableView* view = g->view();
    for (int col : {frmPreferences::ColName, frmPreferences::ColWidth, frmPreferences::ColSr}) {
        g->Select(2, col);
        view->setFocus();
        QTest::keyClicks(view, "Pages");
        QTest::keyClick(view, Qt::Key_F2);
        QTest::keyClicks(view, "x9");
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClick(view, Qt::Key_Space);
    }
    g->Select(2, frmPreferences::ColVisible);
    QTest::keyClick(view, Qt::Key_Space); // the one cell that takes the key
    p.cmdOK->click();
    EXPECT_EQ(settings->ColumnReOrder(), kDefaultOrder);
    EXPECT_EQ(settings->LastGridColWidth(), kDefaultWidths);
    EXPECT_EQ(settings->ColumnVisibility(), "1,0,1,1,1,1,1,1");
}

TEST_F(Preferences, SetDefaultShowsAndSavesTheDefaultLists) {
    settings->setColumnReOrder("Type,Name,Selection,Pages,Location,Size (In KB),Created Date,Modified Date");
    settings->setLastGridColWidth("900,1800,250,700,1800,1000,2000,2000");
    settings->setColumnVisibility("0,1,1,1,1,1,1,1");
    settings->setStartupFolder("/elsewhere");
    modGeneral::LoadGridColumns();
    frmPreferences p;
    EXPECT_EQ(gridColumn(p.vsColumnSettings, frmPreferences::ColName).first(), "Type");
    p.cmdSetDefault->click();
    EXPECT_TRUE(p.IsPreferanceChange);
    EXPECT_EQ(gridColumn(p.vsColumnSettings, frmPreferences::ColName).join(','), kDefaultOrder);
    EXPECT_EQ(gridColumn(p.vsColumnSettings, frmPreferences::ColWidth).join(','), kDefaultWidths);
    p.cmdOK->click();
    EXPECT_EQ(settings->ColumnReOrder(), kDefaultOrder);
    EXPECT_EQ(settings->LastGridColWidth(), kDefaultWidths);
    EXPECT_EQ(settings->ColumnVisibility(), "1,1,1,1,1,1,1,1");
    EXPECT_EQ(settings->StartupFolder(), Settings::defaultStartupFolder());
}

TEST_F(Preferences, TheWindowStateListFollowsItsBoxInStateAndColour) {
    frmPreferences p;
    EXPECT_TRUE(p.chkDefaultWindowState->isChecked()); // the defaults: on, "Last Remembered Size"
    EXPECT_TRUE(p.cmbDefaultWindowState->isEnabled());
    EXPECT_EQ(p.cmbDefaultWindowState->currentText(), "Last Remembered Size");
    EXPECT_EQ(p.cmbDefaultWindowState->palette().color(QPalette::Base), QColor(0xFFFFFF));
    p.chkDefaultWindowState->click();
    EXPECT_FALSE(p.cmbDefaultWindowState->isEnabled());
    EXPECT_EQ(p.cmbDefaultWindowState->palette().color(QPalette::Disabled, QPalette::Base), QColor(0xE0E0E0));
    p.cmdOK->click();
    EXPECT_EQ(settings->WindowStateFlag(), 0);
    EXPECT_EQ(settings->WindowStateValue(), 0);

    frmPreferences again;
    EXPECT_EQ(again.cmbDefaultWindowState->currentText(), "Maximum");
    EXPECT_FALSE(again.cmbDefaultWindowState->isEnabled());
    again.chkDefaultWindowState->click();
    again.cmbDefaultWindowState->setCurrentIndex(1);
    again.cmdOK->click();
    EXPECT_EQ(settings->WindowStateFlag(), 1);
    EXPECT_EQ(settings->WindowStateValue(), 1);
}

TEST_F(Preferences, CancelAndACancelledFolderPickerChangeNothing) {
    frmPreferences p;
    const QString before = p.txtStartUpFolder->text();
    p.cmdStartupFolder->click(); // the picker answers "" (cancel)
    EXPECT_EQ(p.txtStartUpFolder->text(), before);
    ASSERT_EQ(ui.fake.folderRequests.size(), 1);
    EXPECT_EQ(ui.fake.folderRequests[0], before);
    ui.fake.folderAnswers.push_back("/picked");
    p.cmdStartupFolder->click();
    EXPECT_EQ(p.txtStartUpFolder->text(), "/picked");
    settings->writes = 0;
    p.cmdCancel->click();
    EXPECT_EQ(settings->writes, 0);
    EXPECT_FALSE(p.IsPreferanceChange);
}

TEST_F(Preferences, ADamagedWidthListStillListsEveryColumnAndSaveRepairsIt) {
    for (const char* widths : {"1800,250", "1800,x,700,1800,1000,1400,2000,2000"}) {
        settings->setColumnReOrder(kDefaultOrder);
        settings->setColumnVisibility("1,1,1,1,1,1,1,1");
        settings->setLastGridColWidth(QString::fromLatin1(widths));
        frmPreferences p;
        EXPECT_EQ(gridColumn(p.vsColumnSettings, frmPreferences::ColName).join(','), kDefaultOrder) << widths;
        p.cmdOK->click();
        // Every column keeps its place and its box; a width the list lacked is the column's own.
        EXPECT_EQ(settings->ColumnReOrder(), kDefaultOrder) << widths;
        EXPECT_EQ(settings->ColumnVisibility(), "1,1,1,1,1,1,1,1") << widths;
        EXPECT_EQ(settings->LastGridColWidth().split(',').size(), 8) << widths;
        EXPECT_TRUE(settings->LastGridColWidth().startsWith("1800,250,")) << widths;
    }
    // A short flag list: the columns beyond it are shown, so they are saved as shown.
    settings->setColumnVisibility("1,0,1");
    frmPreferences p;
    p.cmdOK->click();
    EXPECT_EQ(settings->ColumnReOrder(), kDefaultOrder);
    EXPECT_EQ(settings->ColumnVisibility(), "1,0,1,1,1,1,1,1");
}
