#include "core/globals.h"
#include "search/filesearchpatterns.h"

#include "tests/search/searchfixtures.h"

#include <gtest/gtest.h>

using namespace filesearch;

TEST(FilterPatterns, SplitsAtSemicolonsFirstThenCommasAndLetsStarDotStarListEverything) {
    struct Case {
        QString text;
        QStringList expected;
    };
    const Case cases[] = {
        {"*.gif", {"*.gif"}},
        {"*.tif,*.tiff", {"*.tif", "*.tiff"}},
        {"*.tif;*.jpg,*.png", {"*.tif", "*.jpg,*.png"}},
        {"*.a,,*.b", {"*.a", "", "*.b"}},
        {" *.a, *.b", {" *.a", " *.b"}}, // pieces are not trimmed
        {"*.*", {}},
        {"  *.*  ", {}},
        {"*.*,*.tif", {"*.*", "*.tif"}},
    };
    for (const Case& c : cases) {
        QStringList out{"stale"};
        GenerateFilterPatternArray(c.text, out);
        EXPECT_EQ(out, c.expected) << c.text.toStdString();
    }
}

TEST(FilterPatterns, ImageFilesTakeTheFirstTableEntryOtherChoicesTheirText) {
    const QString saved = FilterPatterns[0];
    FilterPatterns[0] = "*.tif,*.jpg";
    EXPECT_EQ(PatternsForFilter(0, "Image files"), (QStringList{"*.tif", "*.jpg"}));
    EXPECT_EQ(PatternsForFilter(3, "*.gif"), QStringList{"*.gif"});
    FilterPatterns[0] = saved;
}

TEST(FilterPatterns, WildcardsMatchTheWholeNameIgnoringCase) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"photo.gif", "*.gif", true},
        {"PHOTO.GIF", "*.gif", true},
        {"photo.gif.bak", "*.gif", false},
        {"photo.gi", "*.gif", false},
        {"a.gif", "?.gif", true},
        {"ab.gif", "?.gif", false},
        {".gif", "?.gif", false},
        {"scan 01 (copy).tif", "scan ?? (*).tif", true},
        {"Ünïcødé.TIF", "ü*.tif", true},
        {"x[1].tif", "x[1].tif", true}, // brackets are plain characters
        {"x1.tif", "x[1].tif", false},
        {"a;b.tif", "a;b.tif", true},
        {"noext", "*.*", false},
        {"a.b", "*.*", true},
        {"anything", "*", true},
        {"", "*", true},
        {"", "?", false},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*c", false},
        {"report.final.pdf", "*.final.*", true},
        {"\U0001F600.png", "?.png", true}, // one character outside the 16-bit range
    };
    for (const Case& c : cases) {
        const QString name = QString::fromUtf8(c.name);
        const QStringList patterns{QString::fromUtf8(c.pattern)};
        EXPECT_EQ(IsFileMatchWithFilterPattern(name, patterns), c.match) << c.name << " ~ " << c.pattern;
        EXPECT_EQ(FilterPatternMatcher(patterns).matches(name), c.match) << c.name << " ~ " << c.pattern;
    }
}

TEST(FilterPatterns, AnyPatternOfTheListMatchesAndAnEmptyListMatchesAll) {
    const QStringList images{"*.tif", "*.tiff", "*.jpg"};
    EXPECT_TRUE(IsFileMatchWithFilterPattern("a.TIFF", images));
    EXPECT_FALSE(IsFileMatchWithFilterPattern("a.png", images));
    EXPECT_TRUE(IsFileMatchWithFilterPattern("a.png", {}));
    EXPECT_TRUE(FilterPatternMatcher(QStringList{}).matches(u"whatever"));
    EXPECT_FALSE(IsFileMatchWithFilterPattern("a.tif", {""}));
}
