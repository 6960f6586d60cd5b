#include "gui/cursor/anifile.h"
#include "tests/cursor/cursorfixtures.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace fixtures;

namespace {

// Pixels of the sand colour above and below the neck row.
std::pair<int, int> sandAboveAndBelow(const QImage& img) {
    int above = 0, below = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == qRgb(244, 200, 96)) (y < 15 ? above : below)++;
    return {above, below};
}

void expectConsistent(const AniFile& a) {
    ASSERT_FALSE(a.frames.isEmpty());
    ASSERT_EQ(a.sequence.size(), a.rates.size());
    for (int f : a.sequence) {
        ASSERT_GE(f, 0);
        ASSERT_LT(f, a.frames.size());
    }
    for (const IconImage& p : a.frames) {
        ASSERT_FALSE(p.image.isNull());
        ASSERT_LE(p.image.width(), 256);
        ASSERT_TRUE(QRect(QPoint(0, 0), p.image.size()).contains(p.hotSpot));
    }
}

} // namespace

TEST(HourglassAsset, HasFifteenStepsWithTheirRatesAndTheNeckAsHotSpot) {
    const QByteArray data = embeddedCursor();
    ASSERT_FALSE(data.isEmpty());
    const auto ani = AniFile::parse(data);
    ASSERT_TRUE(ani);
    EXPECT_TRUE(ani->animated);
    EXPECT_EQ(ani->frames.size(), 15);
    EXPECT_EQ(ani->steps(), 15);
    EXPECT_EQ(ani->defaultRate, 14);
    EXPECT_EQ(ani->flags, AniFile::kIconFrames | AniFile::kSequence);
    QList<int> rates(11, 14);
    rates << 40 << 5 << 5 << 5;
    EXPECT_EQ(ani->rates, rates);
    EXPECT_EQ(ani->sequence, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(ani->title, "Hourglass");
    for (const IconImage& f : ani->frames) {
        EXPECT_EQ(f.image.size(), QSize(32, 32));
        EXPECT_EQ(f.hotSpot, QPoint(16, 15));
        EXPECT_TRUE(f.invert.isNull());
    }
}

TEST(HourglassAsset, StoresEachFrameAsA16ColourCursorOf766Bytes) {
    const QByteArray data = embeddedCursor();
    int icons = 0;
    for (qsizetype at = data.indexOf("icon"); at >= 0; at = data.indexOf("icon", at + 8)) {
        ASSERT_EQ(get32(data, at + 4), 766u);
        const QByteArray cur = data.mid(at + 8, 766);
        EXPECT_EQ(cur.left(6), QByteArray("\0\0\2\0\1\0", 6));               // one cursor picture
        EXPECT_EQ(uchar(cur[8]), 16);                                        // colours
        EXPECT_EQ(qFromLittleEndian<quint16>(cur.constData() + 22 + 14), 4); // bits per pixel
        ++icons;
        at += 766;
    }
    EXPECT_EQ(icons, 15);
}

TEST(HourglassAsset, SandRunsFromTheUpperBulbToTheLowerOne) {
    const auto ani = AniFile::parse(embeddedCursor());
    ASSERT_TRUE(ani);
    const auto [startAbove, startBelow] = sandAboveAndBelow(ani->frames[0].image);
    const auto [endAbove, endBelow] = sandAboveAndBelow(ani->frames[11].image);
    EXPECT_GT(startAbove, 40);
    EXPECT_EQ(startBelow, 0);
    EXPECT_EQ(endAbove, 0);
    EXPECT_GT(endBelow, 40);
    int previousAbove = startAbove;
    for (int i = 1; i <= 11; ++i) {
        const int above = sandAboveAndBelow(ani->frames[i].image).first;
        EXPECT_LT(above, previousAbove) << "frame " << i;
        previousAbove = above;
    }
    for (int i = 1; i < 15; ++i)
        EXPECT_NE(ani->frames[i].image, ani->frames[i - 1].image) << "frame " << i;
}

TEST(CursorPictures, DecodeEveryDepthWithMaskAndHotSpot) {
    const QImage picture = square(16, qRgb(200, 30, 40));
    for (int bpp : {1, 4, 8, 24, 32}) {
        SCOPED_TRACE(bpp);
        const QImage source = bpp == 1 ? square(16, qRgb(255, 255, 255)) : picture;
        const auto read = IconImage::read(iconFile(source, {3, 5}, bpp));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->hotSpot, QPoint(3, 5));
        EXPECT_EQ(read->image.convertToFormat(QImage::Format_ARGB32),
                  source.convertToFormat(QImage::Format_ARGB32));
    }
    // An icon has no hot spot of its own: it is held by its middle.
    const auto icon = IconImage::read(iconFile(picture, {}, 8, 1));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->hotSpot, QPoint(8, 8));
}

TEST(CursorPictures, MaskedColouredPixelsInvertInsteadOfShowing) {
    const auto read = IconImage::read(iconFile(square(8, qRgb(255, 255, 255), 0), {}, 1, 2, {{2, 3}}));
    ASSERT_TRUE(read);
    EXPECT_EQ(qAlpha(read->image.pixel(2, 3)), 0);
    ASSERT_FALSE(read->invert.isNull());
    EXPECT_EQ(read->invert.pixel(2, 3), qRgb(255, 255, 255));
    EXPECT_EQ(read->invert.pixel(0, 0), qRgb(0, 0, 0));
}

TEST(AniParser, AppliesSequenceAndFillsMissingRatesWithTheDefault) {
    AniPlan s;
    s.icons = {iconFile(square(32, qRgb(255, 0, 0)), {}), iconFile(square(32, qRgb(0, 255, 0)), {})};
    s.steps = 4;
    s.flags = AniFile::kIconFrames | AniFile::kSequence;
    s.seq = QList<quint32>{1, 0, 1, 1};
    s.rates = QList<quint32>{3, 4};
    s.defaultRate = 9;
    const auto ani = AniFile::parse(aniFile(s));
    ASSERT_TRUE(ani);
    EXPECT_EQ(ani->sequence, QList<int>({1, 0, 1, 1}));
    EXPECT_EQ(ani->rates, QList<int>({3, 4, 9, 9}));
    EXPECT_EQ(ani->pictureAtStep(0).image.pixel(10, 10), qRgb(0, 255, 0));
}

// Damaged and hostile files are refused, never read past.
TEST(AniParser, RefusesMalformedFiles) {
    const QByteArray icon = iconFile(square(32, qRgb(9, 9, 9)), {});
    auto ani = [&](auto&& change) {
        AniPlan s;
        s.icons = {icon, icon};
        change(s);
        return aniFile(s);
    };
    auto patched = [](QByteArray d, qsizetype at, quint32 value) {
        set32(d, at, value);
        return d;
    };
    const QByteArray plain = ani([](AniPlan&) {});
    const auto sequenced = [](QList<quint32> seq) {
        return [seq](AniPlan& s) { s.flags |= AniFile::kSequence, s.seq = seq; };
    };
    const QList<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"RIFF of another form", QByteArray("RIFF\4\0\0\0WAVE", 12)},
        {"RIFF too small for its form", QByteArray("RIFF\2\0\0\0ACON", 12)},
        {"more frames promised than present", ani([](AniPlan& s) { s.frames = 1000; })},
        {"more steps than frames, no sequence", ani([](AniPlan& s) { s.steps = 3; })},
        {"absurd step count", ani([](AniPlan& s) { s.steps = 0x7fffffff; })},
        {"raw bitmap frames", ani([](AniPlan& s) { s.flags = 0; })},
        {"sequence names a missing frame", ani(sequenced({0, 99}))},
        {"short sequence", ani(sequenced({0}))},
        {"sequence flag without a table", ani([](AniPlan& s) { s.flags |= AniFile::kSequence; })},
        {"list larger than the file", patched(plain, plain.indexOf("LIST") + 4, 0xffffffffu)},
        {"chunk larger than its list", patched(plain, plain.indexOf("icon") + 4, 0x7ffffff0u)},
        {"header too short", patched(plain, plain.indexOf("anih") + 4, 8)},
        {"picture offset outside the file", patched(icon, 6 + 12, 0xfffffff0u)},
        {"frame with such a picture",
         ani([&](AniPlan& s) { s.icons[1] = patched(icon, 6 + 12, 0xfffffff0u); })},
        {"picture wider than any cursor", patched(icon, 22 + 4, 100000)},
        {"unknown depth", patched(icon, 22 + 12, 3 << 16 | 1)},
        {"colour table larger than the depth allows", patched(icon, 22 + 32, 5000)},
        {"directory without pictures", patched(icon, 2, 2)},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(AniFile::parse(data).has_value());
    }
}

TEST(AniParser, EveryTruncationOfTheAssetIsRefused) {
    const QByteArray data = embeddedCursor();
    for (qsizetype n = 0; n < data.size(); ++n)
        ASSERT_FALSE(AniFile::parse(data.left(n)).has_value()) << "length " << n;
}

TEST(AniParser, SurvivesRandomDamageAndGarbage) {
    const QByteArray data = embeddedCursor();
    QRandomGenerator random(20240531);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = data;
        const int hits = 1 + random.bounded(6);
        for (int i = 0; i < hits; ++i)
            damaged[random.bounded(damaged.size())] = char(random.bounded(256));
        if (const auto ani = AniFile::parse(damaged)) expectConsistent(*ani);
    }
    for (int round = 0; round < 500; ++round) {
        QByteArray garbage(random.bounded(4000), '\0');
        for (char& c : garbage)
            c = char(random.bounded(256));
        if (round % 2)
            garbage.replace(0, qMin<qsizetype>(12, garbage.size()), QByteArray("RIFF\xff\xff\0\0ACON", 12));
        if (const auto ani = AniFile::parse(garbage)) expectConsistent(*ani);
    }
}
