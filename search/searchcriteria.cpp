#include "search/searchcriteria.h"

#include "core/errortrap.h"
#include "core/vbruntime.h"
#include "search/filerow.h"

namespace filesearch {

namespace {

// The date criterion; raises on a bad box or date.
bool passesDate(const SearchCriteria& c, const FindData& file) {
    const QDate today = c.today.isValid() ? c.today : QDate::currentDate();
    QDate from, to;
    if (c.dateRange == SearchCriteria::DateRange::InTheLast) {
        const int16_t n = vb::CInt(c.periodText);
        from = to = today;
        if (n > 0) from = c.periodUnit == kPeriodUnits[0] ? today.addDays(-n) : today.addMonths(-n);
    } else {
        from = c.dateFrom;
        to = c.dateTo;
    }
    const FileTime* tested = nullptr;
    if (c.dateKind == kDateKinds[0])
        tested = &file.created;
    else if (c.dateKind == kDateKinds[1])
        tested = &file.modified;
    else if (c.dateKind == kDateKinds[2])
        tested = &file.accessed;
    else
        return true; // an unknown kind tests nothing
    const QDate day = tested->localDay();
    if (!day.isValid() || !from.isValid() || !to.isValid()) raiseError(13);
    return day >= from && day <= to;
}

bool passesSize(const SearchCriteria& c, const FindData& file) {
    const int64_t kb = KilobytesOf(file.size);
    if (c.sizeRange == SearchCriteria::SizeRange::At) {
        const int32_t v = vb::CLng(c.sizeText);
        return c.leastMost == kLeastMost[0] ? kb >= v : kb <= v;
    }
    const int32_t to = vb::CLng(c.sizeToText);
    const int32_t from = vb::CLng(c.sizeFromText);
    return from <= kb && kb <= to;
}

} // namespace

bool FileMatchesAdvancedOptions(const SearchCriteria& criteria, const FindData& file) {
    if (!criteria.active()) return true;
    bool pass = false;
    quietly([&] {
        pass = (!criteria.byDate || passesDate(criteria, file)) &&
               (!criteria.bySize || passesSize(criteria, file));
    });
    return pass;
}

} // namespace filesearch
