#include "core/flexsort.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <tuple>

TEST(FlexSortRules, NaturalOrderAndNumberReading) {
    const std::tuple<const char*, const char*, int> natural[] = {
        {"file2", "file10", -1},
        {"File10", "file9", 1},
        {"a", "B", -1},
        {"x01", "x1", 1},
        {"a01b", "a1c", -1},
        {"file\u0662", "file10", -1},
        {"img2.tif", "img2.TIF", 0},
        {"a99999999999999999999", "a100000000000000000000", -1},
        {"ab", "a", 1},
    };
    for (const auto& [a, b, sign] : natural) {
        const int r = flexsort::naturalCompare(a, b);
        const int back = flexsort::naturalCompare(b, a);
        // Every pair is ordered the same way round.
        EXPECT_EQ((r > 0) - (r < 0), -((back > 0) - (back < 0))) << a << " " << b;
        if (sign != 0) {
            EXPECT_EQ(r < 0 ? -1 : 1, sign) << a << " " << b;
        }
    }
    const std::tuple<const char*, bool, double> numbers[] = {
        {"1,024 KB", true, 1024}, {" -3.5x", true, -3.5}, {"Error", false, 0},  {"", false, 0},
        {"12", true, 12},         {",5", false, 0},       {"1,2,3", true, 123}, {"7,", true, 7},
    };
    for (const auto& [text, has, value] : numbers) {
        double v = 0;
        EXPECT_EQ(flexsort::leadingNumber(text, v), has) << text;
        if (has) {
            EXPECT_DOUBLE_EQ(v, value) << text;
        }
    }
    EXPECT_EQ(flexsort::qtDateFormat("dd/mm/yyyy hh:mm ampm"), "dd/MM/yyyy hh:mm AP");
    EXPECT_EQ(flexsort::parseDate("05/03/2024 02:07 PM", "dd/mm/yyyy hh:mm ampm"),
              QDateTime(QDate(2024, 3, 5), QTime(14, 7)));
    EXPECT_FALSE(flexsort::parseDate("Error", "dd/mm/yyyy hh:mm ampm").isValid());
}
