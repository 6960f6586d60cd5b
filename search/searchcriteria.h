#pragma once

// The date and size criteria of the advanced search options, as the window's controls
// state them, and the test of one file against them.

#include "search/filesearchfinddata.h"

#include <QDate>
#include <QString>
#include <array>

namespace filesearch {

// The texts the option lists show; the criteria compare the lists' current text with them.
inline const std::array<QString, 3> kDateKinds = {
    QStringLiteral("Files Created"), QStringLiteral("Files Modified"), QStringLiteral("Files Last Accessed")};
inline const std::array<QString, 2> kPeriodUnits = {QStringLiteral("Day(s)"), QStringLiteral("Month(s)")};
inline const std::array<QString, 2> kLeastMost = {QStringLiteral("Least"), QStringLiteral("Most")};

struct SearchCriteria {
    enum class DateRange { InTheLast, Between };
    enum class SizeRange { At, Between };

    bool useAdvanced = false; // ChkUseAdvOpt

    bool byDate = false; // chkSearchByDate
    QString dateKind;    // cboDateRangeType's text
    DateRange dateRange = DateRange::Between;
    QString periodText;     // txtInPeriod
    QString periodUnit;     // cboDateInPeriod's text
    QDate dateFrom, dateTo; // dtpDateFrom, dtpDateTo

    bool bySize = false; // chkSearchBySize
    SizeRange sizeRange = SizeRange::At;
    QString leastMost;    // cboLeastMost's text
    QString sizeText;     // txtSizeLeastMost
    QString sizeFromText; // txtSizeFrom
    QString sizeToText;   // txtSizeTo

    QDate today; // the day "in the last" counts back from; invalid = the current date

    // True when the criteria can turn a file away (advanced options on, a criterion ticked);
    // the walk skips the test otherwise.
    bool active() const { return useAdvanced && (byDate || bySize); }
};

// True when the file passes the date and size criteria. Every date is compared as a local
// calendar day and both bounds count. Anything that goes wrong (a box that is not a number
// or out of range, an unusable file date) turns the file away; nothing is logged.
bool FileMatchesAdvancedOptions(const SearchCriteria& criteria, const FindData& file);

} // namespace filesearch
