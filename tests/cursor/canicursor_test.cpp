#include "gui/cursor/canicursor.h"

#include "tests/cursor/cursorfixtures.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

using namespace fixtures;

namespace {

constexpr QRgb kBack = 0xff102030;

QImage drawn(const cAniCursor& c, int l, int t, int w = 0, int h = 0, qint64 back = -1) {
    QImage img(96, 96, QImage::Format_ARGB32_Premultiplied);
    img.fill(kBack);
    QPainter p(&img);
    c.Draw(p, l, t, w, h, back);
    p.end();
    return img;
}

// The smallest rectangle holding every pixel that differs from the background.
QRect changed(const QImage& img) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != kBack) r |= QRect(x, y, 1, 1);
    return r;
}

class CursorFiles : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& data) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeBytes(path, data));
        return path;
    }
    QTemporaryDir dir;
};

} // namespace

TEST(AniCursor, LoadsItsOwnHourglassWhateverTheArguments) {
    struct Args {
        int id;
        bool map;
        qintptr instance;
        bool notAnimated;
    };
    for (const Args& a : {Args{101, false, 0, false}, Args{2001, true, 77, true}, Args{-5, false, 1, true}}) {
        cAniCursor c;
        ASSERT_TRUE(c.LoadFromResource(a.id, a.map, a.instance, a.notAnimated));
        EXPECT_EQ(c.FrameCount(), 15);
        EXPECT_EQ(c.Frame(), 0);
        ASSERT_TRUE(c.hCursor());
        EXPECT_EQ(c.hCursor()->hotSpot(), QPoint(16, 15));
    }
}

TEST(AniCursor, ResourceTravelsThroughATemporaryFileThatIsRemoved) {
    QTemporaryDir tmp;
    ScopedTmpDir redirect(tmp.path());
    cAniCursor c;
    EXPECT_TRUE(c.LoadFromResource(101));
    EXPECT_TRUE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(AniCursor, MissingTemporaryFolderIsRaisedToTheCaller) {
    ScopedTmpDir redirect(QStringLiteral("/nonexistent-quillmere-tmp"));
    cAniCursor c;
    const auto e = errorOf([&] { c.LoadFromResource(101); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number, 2 | 10000);
    EXPECT_EQ(e->description, "No such file or directory");
    EXPECT_TRUE(e->source.endsWith(".cAniCursor"));
    EXPECT_FALSE(c.hCursor());
}

TEST(AniCursor, StepWrapsAndFrameRefusesOutOfRange) {
    cAniCursor c;
    ASSERT_TRUE(c.LoadFromResource(101));
    for (int i = 1; i < 15; ++i) {
        c.Step();
        EXPECT_EQ(c.Frame(), i);
    }
    c.Step();
    EXPECT_EQ(c.Frame(), 0);

    c.Frame(14);
    EXPECT_EQ(c.Frame(), 14);
    c.Step();
    EXPECT_EQ(c.Frame(), 0);
    c.Frame(7);
    for (int bad : {15, -1, 1000}) {
        const auto e = errorOf([&] { c.Frame(bad); });
        ASSERT_TRUE(e) << bad;
        EXPECT_EQ(e->number, 9);
        EXPECT_EQ(e->description, "Subscript out of range");
        EXPECT_EQ(e->source,
                  QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".cAniCursor");
        EXPECT_EQ(c.Frame(), 7);
    }
}

TEST_F(CursorFiles, UnanimatedCursorsHaveNoFramesButStillDraw) {
    struct Case {
        const char* name;
        QByteArray data;
        bool notAnimated;
    };
    AniPlan two;
    two.icons = {iconFile(square(32, qRgb(255, 0, 0)), {}), iconFile(square(32, qRgb(0, 0, 255)), {})};
    const QList<Case> cases = {
        {"plain cursor", iconFile(square(32, qRgb(0, 200, 0)), {5, 6}), false},
        {"plain icon", iconFile(square(32, qRgb(0, 200, 0)), {}, 8, 1), false},
        {"animated, loaded as still", aniFile(two), true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        cAniCursor c;
        ASSERT_TRUE(c.LoadFromFile(file("c.bin", k.data), false, k.notAnimated));
        EXPECT_EQ(c.FrameCount(), 0);
        c.Step();
        EXPECT_EQ(c.Frame(), 0);
        EXPECT_EQ(errorOf([&] { c.Frame(0); })->number, 9);
        EXPECT_EQ(changed(drawn(c, 10, 10)), QRect(12, 12, 28, 28));
    }
}

TEST_F(CursorFiles, FailedLoadsRaiseTheSystemErrorAndLeaveNothingLoaded) {
    const QByteArray good = embeddedCursor();
    struct Case {
        const char* name;
        QString path;
        int number;
    };
    const QList<Case> cases = {
        {"missing file", dir.filePath("none.ani"), 2 | 10000},
        {"folder", dir.path(), 21 | 10000},
        {"truncated", file("cut.ani", good.left(good.size() / 2)), 22 | 10000},
        {"garbage", file("junk.ani", QByteArray(3000, '\x5a')), 22 | 10000},
        {"empty", file("empty.ani", {}), 22 | 10000},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        cAniCursor c;
        ASSERT_TRUE(c.LoadFromResource(101));
        const auto e = errorOf([&] { c.LoadFromFile(k.path); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number, k.number);
        EXPECT_FALSE(e->description.isEmpty());
        EXPECT_FALSE(c.hCursor());
        EXPECT_EQ(c.FrameCount(), 0);
        EXPECT_EQ(changed(drawn(c, 0, 0)), QRect());
    }
}

TEST(AniCursor, DrawPlacesTheFrameAndKeepsTheBackgroundUnlessAColourIsGiven) {
    cAniCursor c;
    ASSERT_TRUE(c.LoadFromResource(101));
    const QImage plain = drawn(c, 16, 16);
    const QRect box = changed(plain);
    EXPECT_TRUE(QRect(16, 16, 32, 32).contains(box));
    EXPECT_GT(box.width(), 16);
    EXPECT_GT(box.height(), 24);
    EXPECT_EQ(plain.pixel(16, 16), kBack); // the corner of the picture is transparent

    // Own size whenever one of the two sizes is 0.
    EXPECT_EQ(drawn(c, 16, 16, 0, 50), plain);
    EXPECT_EQ(drawn(c, 16, 16, 50, 0), plain);

    // 0x00BBGGRR: pure blue fills the whole square behind the hourglass.
    const QImage backed = drawn(c, 16, 16, 0, 0, 0xff0000);
    EXPECT_EQ(changed(backed), QRect(16, 16, 32, 32));
    EXPECT_EQ(backed.pixel(16, 16), qRgb(0, 0, 255));
    EXPECT_EQ(backed.pixel(47, 47), qRgb(0, 0, 255));
    EXPECT_EQ(backed.pixel(15, 16), kBack);

    // Both sizes given: stretched, each pixel repeated.
    const QImage stretched = drawn(c, 0, 0, 64, 64);
    const QImage own = drawn(c, 0, 0).copy(0, 0, 32, 32);
    EXPECT_EQ(stretched.copy(0, 0, 64, 64), own.scaled(64, 64));
    EXPECT_EQ(stretched.pixel(70, 70), kBack);
}

TEST_F(CursorFiles, InvertingPixelsFlipTheBackground) {
    QImage white(8, 8, QImage::Format_ARGB32);
    white.fill(Qt::white);
    cAniCursor c;
    ASSERT_TRUE(c.LoadFromFile(file("i.cur", iconFile(white, {}, 1, 2, {{1, 1}}))));
    const QImage img = drawn(c, 0, 0);
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(1, 1), qRgb(255 - 0x10, 255 - 0x20, 255 - 0x30));
}

TEST_F(CursorFiles, SystemColourMappingRepaintsTheThreeGreys) {
    QPalette saved = QApplication::palette();
    QPalette palette = saved;
    palette.setColor(QPalette::Button, QColor(10, 200, 30));
    QApplication::setPalette(palette);
    const QString path = file("grey.cur", iconFile(square(32, qRgb(192, 192, 192)), {}));
    cAniCursor c;
    ASSERT_TRUE(c.LoadFromFile(path, true));
    EXPECT_EQ(drawn(c, 0, 0).pixel(10, 10), qRgb(10, 200, 30));
    ASSERT_TRUE(c.LoadFromFile(path, false));
    EXPECT_EQ(drawn(c, 0, 0).pixel(10, 10), qRgb(192, 192, 192));
    QApplication::setPalette(saved);
}

TEST(AniCursor, WidgetCursorIsInstalledOnceAndPutBack) {
    cAniCursor c;
    ASSERT_TRUE(c.LoadFromResource(101));
    QWidget crossed, plain;
    auto* child = new QWidget(&plain);
    crossed.setCursor(Qt::CrossCursor);

    c.SetAsDefaultCursor(&crossed, true);
    c.SetAsDefaultCursor(&crossed, true); // the second call must not remember our own cursor
    c.SetAsDefaultCursor(&plain, true);
    c.SetAsDefaultCursor(child, true);
    EXPECT_TRUE(child->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(crossed.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(crossed.cursor().hotSpot(), QPoint(16, 15));

    c.SetAsDefaultCursor(&crossed, false);
    EXPECT_EQ(crossed.cursor().shape(), Qt::CrossCursor);
    c.SetAsDefaultCursor(&crossed, false); // nothing left to put back
    EXPECT_EQ(crossed.cursor().shape(), Qt::CrossCursor);

    c.Destroy();
    EXPECT_EQ(plain.cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(child->testAttribute(Qt::WA_SetCursor)); // back to following its parent
    EXPECT_FALSE(c.hCursor());
}

TEST(AniCursor, WidgetsThatDieOrOutliveTheCursorAreHandledSafely) {
    QWidget survivor;
    survivor.setCursor(Qt::IBeamCursor);
    {
        cAniCursor c;
        ASSERT_TRUE(c.LoadFromResource(101));
        auto* doomed = new QWidget;
        c.SetAsDefaultCursor(doomed, true);
        delete doomed;
        c.SetAsDefaultCursor(&survivor, true); // reuses the dead widget's slot
        EXPECT_EQ(survivor.cursor().shape(), Qt::BitmapCursor);
        // Loading again first puts every widget back.
        ASSERT_TRUE(c.LoadFromResource(101));
        EXPECT_EQ(survivor.cursor().shape(), Qt::IBeamCursor);
        c.SetAsDefaultCursor(&survivor, true);
    } // and so does the end of the object
    EXPECT_EQ(survivor.cursor().shape(), Qt::IBeamCursor);

    cAniCursor empty;
    empty.SetAsDefaultCursor(&survivor, true); // nothing loaded: nothing to show
    EXPECT_EQ(survivor.cursor().shape(), Qt::IBeamCursor);
}
