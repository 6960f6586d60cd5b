// The search options of the main window and what starts a search.

#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr auto kOwner = u" of Form frmMain at time";
const QString kSearchCaption = QStringLiteral("&Search");
} // namespace

void frmMain::FillComboBoxes() {
    trap(u"FillComboBoxes", kOwner, [&] {
        DateRangeTypes = {QStringLiteral("Files Created"), QStringLiteral("Files Modified"),
                          QStringLiteral("Files Last Accessed")};
        DateUnits = {QStringLiteral("Day(s)"), QStringLiteral("Month(s)")};
        LeastMost = {QStringLiteral("Least"), QStringLiteral("Most")};

        cboFilterPattern->clear();
        for (int i = 0; i <= int(FilterPatterns.size()) - 2; ++i)
            cboFilterPattern->addItem(i == 0 ? QStringLiteral("Image files") : FilterPatterns[size_t(i)], i);
        cboFilterPattern->setCurrentIndex(0);

        auto fill = [](QComboBox* box, const QStringList& texts) {
            box->clear();
            for (int i = 0; i < texts.size(); ++i)
                box->addItem(texts[i], i + 1);
            box->setCurrentIndex(0);
        };
        fill(cboDateRangeType, DateRangeTypes);
        fill(cboDateInPeriod, DateUnits);
        fill(cboLeastMost, LeastMost);
    });
}

void frmMain::chkSearchByDate_Click() {
    trap(u"chkSearchByDate_Click", kOwner, [&] {
        const bool on = chkSearchByDate->isChecked();
        fraDate->setEnabled(on);
        optInPeriod->setEnabled(on);
        optBtnPeriod->setEnabled(on);
    });
}

void frmMain::chkSearchBySize_Click() {
    trap(u"chkSearchBySize_Click", kOwner, [&] {
        const bool on = chkSearchBySize->isChecked();
        fraSize->setEnabled(on);
        optSizeAt->setEnabled(on);
        optSizeBtn->setEnabled(on);
    });
}

// The caption is what tells whether a search is running: a new choice made meanwhile
// starts nothing.
void frmMain::cboFilterPattern_Click() {
    if (cmdSearch->text() == kSearchCaption) cmdSearch_Click();
}

void frmMain::ftvFolder_SelectionChange() {
    if (cmdSearch->text() == kSearchCaption) cmdSearch_Click();
    QString status = getSelectedFileinfo();
    SetStatusText(status);
}
