#include "platform/imaging/isolateddecode.h"

#include <csignal>
#include <gtest/gtest.h>
#include <new>
#include <thread>

using namespace imaging;

TEST(IsolatedDecode, HandsBackThePageOrTheChildsOwnError) {
    RasterPage page;
    QString error;
    const int rc = decodeIsolated([](RasterPage& drawn, QString&) {
        drawn.width = 3;
        drawn.height = 2;
        drawn.model = ColourModel::RGB;
        drawn.dpiX = drawn.dpiY = 300;
        drawn.storedBitsPerPixel = 24;
        for (int i = 0; i < 18; ++i)
            drawn.pixels.push_back(uint8_t(i * 13));
        drawn.alpha.assign(6, 255);
        drawn.icc = QByteArray("profile");
        return int(ApOk);
    }, page, error);
    ASSERT_EQ(rc, ApOk) << error.toStdString();
    EXPECT_EQ(page.width, 3);
    EXPECT_EQ(page.height, 2);
    EXPECT_EQ(page.model, ColourModel::RGB);
    EXPECT_EQ(page.dpiX, 300);
    EXPECT_EQ(page.storedBitsPerPixel, 24);
    ASSERT_EQ(page.pixels.size(), 18u);
    EXPECT_EQ(page.pixels[17], uint8_t(17 * 13));
    EXPECT_EQ(page.alpha.size(), 6u);
    EXPECT_EQ(page.icc, QByteArray("profile"));

    EXPECT_EQ(decodeIsolated([](RasterPage&, QString& why) {
        why = QStringLiteral("bad record at 42");
        return int(ApCorrupt);
    }, page, error), ApCorrupt);
    EXPECT_EQ(error, QStringLiteral("bad record at 42"));

    EXPECT_EQ(decodeIsolated([](RasterPage&, QString&) -> int { throw std::bad_alloc(); }, page, error),
              ApOverLimits);
}

TEST(IsolatedDecode, ADecoderThatHangsOrCrashesFailsTheFileNotTheProgram) {
    RasterPage page;
    QString error;
    DecodeLimits limits;
    limits.seconds = 1;
    limits.waitSeconds = 20;
    EXPECT_EQ(decodeIsolated([](RasterPage&, QString&) {
        volatile uint64_t spin = 0;
        for (;;)
            spin = spin + 1;
        return int(ApOk);
    }, page, error, limits), ApOverLimits);
    EXPECT_TRUE(error.contains(QStringLiteral("takes longer than"))) << error.toStdString();
    limits.waitSeconds = 1;
    EXPECT_EQ(decodeIsolated([](RasterPage&, QString&) { // stuck, using no processor time
        for (;;)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return int(ApOk);
    }, page, error, limits), ApOverLimits);
    EXPECT_TRUE(error.contains(QStringLiteral("not drawn within"))) << error.toStdString();

    EXPECT_EQ(decodeIsolated([](RasterPage&, QString&) {
        std::raise(SIGSEGV);
        return int(ApOk);
    }, page, error), ApCorrupt);
    EXPECT_FALSE(error.isEmpty());
    // A page that does not add up is refused rather than read past.
    EXPECT_EQ(decodeIsolated([](RasterPage& drawn, QString&) {
        drawn.width = 100;
        drawn.height = 100;
        drawn.model = ColourModel::RGB;
        drawn.pixels.assign(10, 0);
        return int(ApOk);
    }, page, error), ApCorrupt);
}
