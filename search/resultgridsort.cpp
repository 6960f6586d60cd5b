#include "search/resultgridsort.h"

#include "core/flexsort.h"

namespace resultgrid {

namespace {

bool isNumericCode(int order) {
    return order == NumericAscending || order == NumericDescending;
}
bool isGenericCode(int order) {
    return order == GenericAscending || order == GenericDescending;
}

} // namespace

int BeforeSortOrder(const QString& key, int order, bool sortByNumeric) {
    const bool descending = IsDescending(order);
    if ((key == QLatin1String("Name") && sortByNumeric) || key == QLatin1String("Pages") ||
        key == QLatin1String("Size (In KB)")) {
        if (isNumericCode(order)) return order;
        return descending ? NumericDescending : NumericAscending;
    }
    if (key == QLatin1String("Name")) {
        if (isGenericCode(order)) return order;
        return descending ? GenericDescending : GenericAscending;
    }
    return order;
}

bool IsDescending(int order) {
    return order == GenericDescending || order == NumericDescending;
}

int CompareCells(const QString& a, const QString& b, int dataType, int order) {
    if (dataType == TypeDate) return flexsort::compareDates(a, b, kGridDateFormat);
    if (dataType == TypeDecimal) return flexsort::compareNumeric(a, b);
    if (isNumericCode(order)) return flexsort::naturalCompare(a, b);
    return flexsort::compareText(a, b);
}

} // namespace resultgrid
