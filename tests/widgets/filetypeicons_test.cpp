#include "gui/widgets/filetypeicons.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::FileTypeIcons;
using platform::FileTypes;

TEST(FileTypeIcons, DesktopEntriesKeepTheIconOfTheFirstEntryOfTheirName) {
    QTemporaryDir dir;
    const QString red = dir.path() + "/red.png", blue = dir.path() + "/blue.png";
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(red));
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(blue));
    auto entry = [&](const QString& folder, const QString& icon) {
        QDir().mkpath(dir.path() + "/" + folder);
        const QString path = dir.path() + "/" + folder + "/app.desktop";
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("[Desktop Entry]\nType=Application\nName=App\nIcon=" + icon.toUtf8() + "\n");
        return path;
    };
    FileTypes types;
    FileTypeIcons icons(types);
    const platform::FileTypeInfo first = types.lookup(entry("one", red), "app.desktop", false);
    const platform::FileTypeInfo second = types.lookup(entry("two", blue), "app.desktop", false);
    EXPECT_EQ(first.iconKey, "app.desktop");
    EXPECT_EQ(second.iconKey, "app.desktop");
    EXPECT_EQ(first.typeName, second.typeName);
    EXPECT_NE(first.typeName, first.iconKey);
    const QImage shown = icons.icon("app.desktop").pixmap(16, 16).toImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(QColor(shown.pixel(8, 8)), QColor(Qt::red));
}

TEST(FileTypeIcons, AKeyWithoutAThemeIconGetsTheFallbackAndKeepsIt) {
    FileTypes types;
    FileTypeIcons icons(types);
    QPixmap pixmap(8, 8);
    pixmap.fill(Qt::green);
    icons.setFallbackIcon(QIcon(pixmap));
    EXPECT_FALSE(icons.icon("never looked up").isNull());
    icons.setFallbackIcon(QIcon());
    EXPECT_FALSE(icons.icon("never looked up").isNull()); // cached
}
