// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/viewlayout.h"
#include "viewer/viewzoom.h"

#include <QSize>

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace morvane::viewer;
using enum morvane::viewer::DisplayMode;

namespace {

constexpr std::int32_t kCW = 632;
constexpr std::int32_t kCH = 446;

struct Rect
{
    std::int32_t left, top, width, height;
};

void expectRect(const BoxRect &got, const Rect &want)
{
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
}

} // namespace

TEST(ViewLayoutTest, DisplayModesLayTheBoxOut)
{
    struct Case
    {
        const char *name;
        DisplayMode mode;
        std::int32_t w, h;
        Rect box;
        Rect drawn; // within the box
        bool scrollable;
    };
    const Case cases[] = {
        {"320x240 as is", AsIs, 320, 240, {156, 103, 320, 240}, {0, 0, 320, 240}, false},
        {"320x240 fit", Fit, 320, 240, {0, 0, 632, 446}, {19, 0, 594, 446}, false},
        {"320x240 shrink only",
            ShrinkOnly,
            320,
            240,
            {156, 103, 320, 240},
            {0, 0, 320, 240},
            false},
        {"320x240 bonus", Bonus, 320, 240, {0, 0, 640, 640}, {0, 80, 640, 480}, true},
        {"1600x1200 as is", AsIs, 1600, 1200, {0, 0, 1600, 1200}, {0, 0, 1600, 1200}, true},
        {"1600x1200 shrink only",
            ShrinkOnly,
            1600,
            1200,
            {0, 0, 632, 446},
            {19, 0, 594, 446},
            false},
        {"1600x1200 bonus", Bonus, 1600, 1200, {0, 0, 632, 446}, {19, 0, 594, 446}, false},
        {"639x639 bonus is enlarged", Bonus, 639, 639, {0, 0, 640, 640}, {0, 0, 640, 640}, true},
        {"640x100 bonus is shrink only",
            Bonus,
            640,
            100,
            {0, 173, 632, 100},
            {0, 1, 632, 98},
            false},
        {"100x640 bonus is shrink only",
            Bonus,
            100,
            640,
            {266, 0, 100, 446},
            {15, 0, 69, 446},
            false},
        {"odd margin halves down", AsIs, 301, 201, {165, 122, 301, 201}, {0, 0, 301, 201}, false},
        {"wider only scrolls", AsIs, 1000, 100, {0, 173, 1000, 100}, {0, 0, 1000, 100}, true},
        {"empty picture", Fit, 0, 0, {0, 0, 632, 446}, {0, 0, 632, 446}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PictureBox box = LayoutPicture(c.mode, c.w, c.h, kCW, kCH);
        expectRect(box.bounds, c.box);
        // Mode 0 draws the picture unscaled in a box of its own size.
        const BoxRect drawn =
            drawingRect(c.w, c.h, box.bounds.width, box.bounds.height, box.stretch, box.center);
        expectRect(drawn, c.drawn);
        EXPECT_EQ(!fitsClient(box.bounds, kCW, kCH), c.scrollable);
    }
}

TEST(ViewLayoutTest, SwitchesOfEachMode)
{
    // The switches show where a picture whose decoded size differs from the recorded one is
    // drawn: an auto-sized box takes the decoded size, then the drawing rules apply. Each row's
    // rectangle changes when any one switch is flipped.
    struct Case
    {
        const char *name;
        DisplayMode mode;
        std::int32_t w, h; // recorded
        std::int32_t dw, dh; // decoded
        Rect drawn; // within the box
    };
    const Case cases[] = {
        {"as is: the box takes the decoded size", AsIs, 320, 240, 400, 300, {0, 0, 400, 300}},
        {"fit: enlarged and centred in the client", Fit, 320, 240, 160, 120, {19, 0, 594, 446}},
        {"shrink only: natural size, centred", ShrinkOnly, 320, 240, 160, 120, {80, 60, 160, 120}},
        {"bonus: enlarged into the square", Bonus, 320, 240, 160, 120, {0, 80, 640, 480}},
        {"bonus over 640: natural size, centred", Bonus, 640, 240, 160, 120, {236, 60, 160, 120}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PictureBox box = LayoutPicture(c.mode, c.w, c.h, kCW, kCH);
        const std::int32_t bw = box.autoSize ? c.dw : box.bounds.width;
        const std::int32_t bh = box.autoSize ? c.dh : box.bounds.height;
        expectRect(drawingRect(c.dw, c.dh, bw, bh, box.stretch, box.center), c.drawn);
    }
}

TEST(ViewLayoutTest, NoCheckedModeKeepsThePreviousBoxAndRecentres)
{
    PictureBox previous;
    previous.center = false;
    previous.stretch = true;
    previous.autoSize = true;
    previous.bounds = {-40, -60, 100, 50};
    const PictureBox box = LayoutPicture(std::nullopt, 1600, 1200, kCW, kCH, previous);
    EXPECT_FALSE(box.center);
    EXPECT_TRUE(box.stretch);
    EXPECT_TRUE(box.autoSize);
    expectRect(box.bounds, {266, 198, 100, 50});
}

TEST(ViewLayoutTest, TagsOfTheModeItems)
{
    EXPECT_EQ(displayModeFromTag(0), AsIs);
    EXPECT_EQ(displayModeFromTag(3), Bonus);
    EXPECT_EQ(displayModeFromTag(4), std::nullopt);
    EXPECT_EQ(displayModeFromTag(-1), std::nullopt);
}

TEST(ViewLayoutTest, DrawingRectangleAgreesWithQtsProportionalScaling)
{
    // Qt's own keep-aspect-ratio scaling is an independent oracle. The two choose the limiting
    // side in a different order, so where the proportions fit almost exactly they may part by one
    // pixel in the free direction; the limiting side and the fit inside the box must agree.
    int widthLimited = 0;
    std::srand(7);
    for (int k = 0; k < 20000; ++k) {
        const int w = 1 + std::rand() % 3000;
        const int h = 1 + std::rand() % 3000;
        const int cw = 1 + std::rand() % 2000;
        const int ch = 1 + std::rand() % 2000;
        const BoxRect r = drawingRect(w, h, cw, ch, true, true);
        const QSize q = QSize(w, h).scaled(cw, ch, Qt::KeepAspectRatio);
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " in " + std::to_string(cw) + "x"
            + std::to_string(ch));
        ASSERT_LE(r.width, cw);
        ASSERT_LE(r.height, ch);
        ASSERT_TRUE(r.width == cw || r.height == ch);
        ASSERT_LE(std::abs(r.width - q.width()), 1);
        ASSERT_LE(std::abs(r.height - q.height()), 1);
        ASSERT_EQ(r.left, (cw - r.width) / 2);
        ASSERT_EQ(r.top, (ch - r.height) / 2);
        widthLimited += r.width == cw ? 1 : 0;
    }
    // Both sides limit in a fair share of the cases, so both branches were compared.
    EXPECT_GT(widthLimited, 5000);
    EXPECT_LT(widthLimited, 15000);
}

TEST(ViewLayoutTest, DrawingRectangleRules)
{
    struct Case
    {
        const char *name;
        std::int32_t w, h, cw, ch;
        bool stretch, center;
        Rect drawn;
    };
    const Case cases[] = {
        {"smaller, no stretch: natural size", 100, 50, 200, 200, false, true, {50, 75, 100, 50}},
        {"smaller, no centre: top-left", 100, 50, 200, 200, false, false, {0, 0, 100, 50}},
        {"taller than the box is shrunk", 100, 400, 200, 200, false, true, {75, 0, 50, 200}},
        {"square picture fills a square box", 50, 50, 200, 200, true, true, {0, 0, 200, 200}},
        {"exact multiple: no rounding loss", 320, 240, 632, 474, true, false, {0, 0, 632, 474}},
        {"tall picture, width limit applies", 100, 101, 50, 500, true, true, {0, 225, 50, 50}},
        {"zero width, not larger: drawn at its size",
            0,
            100,
            200,
            150,
            false,
            true,
            {100, 25, 0, 100}},
        {"zero width, taller than the box: fills it",
            0,
            200,
            200,
            150,
            false,
            true,
            {0, 0, 200, 150}},
        {"zero height with stretch", 100, 0, 200, 150, true, false, {0, 0, 200, 150}},
        {"zero-size box", 100, 100, 0, 0, false, true, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        expectRect(drawingRect(c.w, c.h, c.cw, c.ch, c.stretch, c.center), c.drawn);
    }
}

TEST(ViewLayoutTest, CaptionAndLabels)
{
    struct Case
    {
        const char *name;
        std::size_t pictures;
        std::int32_t index;
        std::string path;
        std::int32_t boxWidth, boxHeight;
        std::string caption;
    };
    const Case cases[] = {
        {"third of twelve, fits",
            12,
            10,
            "/home/u/写真/IMG_0003.JPG",
            320,
            240,
            "12 / 3   IMG_0003.JPG"},
        {"scrollable", 12, 10, "/p/a.jpg", 1600, 1200, "12 / 3 * a.jpg"},
        {"only taller scrolls", 1, 0, "/a.jpg", 100, 447, "1 / 1 * a.jpg"},
        {"exactly the client size fits", 2, 5, "/b.jpg", 632, 446, "2 / 2   b.jpg"},
        {"colon belongs to the file name here", 1, 0, "/x/12:30.jpg", 1, 1, "1 / 1   12:30.jpg"},
        {"backslash belongs to the file name here", 1, 0, "/x/a\\b.jpg", 1, 1, "1 / 1   a\\b.jpg"},
        {"no folder", 1, 0, "a.jpg", 1, 1, "1 / 1   a.jpg"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PictureRecord rec {c.path, "123456", "2004/05/12 9:05:30", "1600", "1200"};
        const InfoTexts t =
            infoTexts(rec, c.pictures * 5, c.index, kCW, kCH, c.boxWidth, c.boxHeight);
        EXPECT_EQ(t.caption, c.caption);
        EXPECT_EQ(t.label1, "1600x1200 Pixel");
        EXPECT_EQ(t.label2, "123456 Byte");
        EXPECT_EQ(t.label3, "2004/05/12 9:05:30");
        EXPECT_EQ(t.label4, "632x446 Pixel");
    }
}

TEST(ViewLayoutTest, ScrollForwardThroughALargePicture)
{
    // 1600 x 1200 in 632 x 446: up while the bottom edge is less than 10 inside the client, then
    // left while the right edge is.
    struct Case
    {
        const char *name;
        Rect box;
        Rect moved;
    };
    const Case cases[] = {
        {"from the origin: up", {0, 0, 1600, 1200}, {0, -20, 1600, 1200}},
        {"bottom gap 9: up", {0, -763, 1600, 1200}, {0, -783, 1600, 1200}},
        {"bottom gap exactly 10: left", {0, -764, 1600, 1200}, {-20, -764, 1600, 1200}},
        {"after 39 steps, bottom gap 26: left", {0, -780, 1600, 1200}, {-20, -780, 1600, 1200}},
        {"right gap 9: left", {-977, -780, 1600, 1200}, {-997, -780, 1600, 1200}},
        {"right gap exactly 10: stays", {-978, -780, 1600, 1200}, {-978, -780, 1600, 1200}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BoxRect box {c.box.left, c.box.top, c.box.width, c.box.height};
        expectRect(ScrollForward(box, kCW, kCH), c.moved);
    }
    // The walk from the origin: 39 steps up, then the 40th goes left.
    BoxRect box {0, 0, 1600, 1200};
    for (int i = 0; i < 40; ++i)
        box = ScrollForward(box, kCW, kCH);
    expectRect(box, {-20, -780, 1600, 1200});
}

TEST(ViewLayoutTest, ScrollBackFromTheOrigin)
{
    BoxRect box {0, 0, 1600, 1200};
    box = ScrollBack(box, kCW, kCH);
    expectRect(box, {0, 20, 1600, 1200});
    box = ScrollBack(box, kCW, kCH);
    expectRect(box, {20, 20, 1600, 1200});
    box = ScrollBack(box, kCW, kCH);
    expectRect(box, {20, 20, 1600, 1200});
}

TEST(ViewLayoutTest, RepeatedScrollingSettlesWithinItsMargins)
{
    // Scrolled until nothing moves, the far edges end 10 to 29 pixels inside the client area
    // (forward) and the near edges 10 to 29 pixels inside it (back).
    struct Case
    {
        std::int32_t width, height, cw, ch;
    };
    const Case cases[] = {
        {1600, 1200, 632, 446}, {5000, 3000, 800, 600}, {633, 447, 632, 446}, {2000, 2000, 17, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        BoxRect box {0, 0, c.width, c.height};
        for (int guard = 0; guard < 100000; ++guard) {
            const BoxRect next = ScrollForward(box, c.cw, c.ch);
            if (next.left == box.left && next.top == box.top)
                break;
            box = next;
        }
        const int bottomGap = c.ch - (box.top + box.height);
        const int rightGap = c.cw - (box.left + box.width);
        EXPECT_GE(bottomGap, 10);
        EXPECT_LE(bottomGap, 29);
        EXPECT_GE(rightGap, 10);
        EXPECT_LE(rightGap, 29);
        for (int guard = 0; guard < 100000; ++guard) {
            const BoxRect next = ScrollBack(box, c.cw, c.ch);
            if (next.left == box.left && next.top == box.top)
                break;
            box = next;
        }
        EXPECT_GE(box.top, 10);
        EXPECT_LE(box.top, 29);
        EXPECT_GE(box.left, 10);
        EXPECT_LE(box.left, 29);
    }
}

TEST(ViewLayoutTest, ScrollingAndDraggingLeaveABoxThatFits)
{
    const BoxRect box {156, 103, 320, 240};
    expectRect(ScrollForward(box, kCW, kCH), {156, 103, 320, 240});
    expectRect(ScrollBack(box, kCW, kCH), {156, 103, 320, 240});
    expectRect(dragMove(box, kCW, kCH, 0, 0, 300, 300), {156, 103, 320, 240});
}

TEST(ViewLayoutTest, DragFollowsThePointerWithinItsLimits)
{
    struct Case
    {
        const char *name;
        Rect box;
        std::int32_t x, y, ax, ay;
        Rect moved;
    };
    const Case cases[] = {
        {"left and up into the picture",
            {0, 0, 1600, 1200},
            100,
            100,
            150,
            130,
            {-50, -30, 1600, 1200}},
        {"right and down at the origin",
            {0, 0, 1600, 1200},
            150,
            130,
            100,
            100,
            {50, 30, 1600, 1200}},
        {"right refused once the left edge is 10 in",
            {10, 0, 1600, 1200},
            150,
            100,
            100,
            100,
            {10, 0, 1600, 1200}},
        {"one move may carry an edge past the limit",
            {9, 0, 1600, 1200},
            400,
            100,
            100,
            100,
            {309, 0, 1600, 1200}},
        {"left refused once the right edge is 10 in",
            {-978, 0, 1600, 1200},
            50,
            100,
            100,
            100,
            {-978, 0, 1600, 1200}},
        {"left allowed just before that",
            {-977, 0, 1600, 1200},
            50,
            100,
            100,
            100,
            {-1027, 0, 1600, 1200}},
        {"only the direction that exceeds moves",
            {0, 173, 1000, 100},
            50,
            50,
            100,
            100,
            {-50, 173, 1000, 100}},
        {"no movement", {-5, -5, 1600, 1200}, 100, 100, 100, 100, {-5, -5, 1600, 1200}},
        {"a box exactly the client size stays",
            {0, 0, 632, 446},
            50,
            50,
            100,
            100,
            {0, 0, 632, 446}},
        {"taller but narrower: only up",
            {266, 0, 100, 1200},
            50,
            50,
            100,
            100,
            {266, -50, 100, 1200}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BoxRect box {c.box.left, c.box.top, c.box.width, c.box.height};
        expectRect(dragMove(box, kCW, kCH, c.x, c.y, c.ax, c.ay), c.moved);
    }
}

TEST(ViewLayoutTest, ExtremeValuesSaturateInsteadOfOverflowing)
{
    const std::int32_t big = 2147483647;
    const BoxRect far {-big, -big, big, big};
    const BoxRect s = ScrollForward(far, 0, 0);
    EXPECT_EQ(s.top, -big - 1); // saturated at the bottom of the range
    const BoxRect d = dragMove({-big, 0, big, big}, 0, 0, -big, 0, big, 0);
    EXPECT_EQ(d.left, -big - 1);
    const PictureBox box = LayoutPicture(AsIs, big, big, 0, 0);
    EXPECT_EQ(box.bounds.width, big);
    const BoxRect r = drawingRect(big, 1, big, big, true, true);
    EXPECT_EQ(r.width, big);
    EXPECT_EQ(r.height, 1);
}

TEST(ViewLayoutTest, ZoomStepsAndAnchor)
{
    struct Case
    {
        double scale;
        int steps;
        double maxScale;
        double expected;
    };
    const Case cases[] = {
        {1.0, 1, 100, 1.5},
        {1.0, -1, 100, 2.0 / 3},
        {1.0, 2, 100, 2.0},
        {0.94, 1, 100, 1.0}, // a fit scale between steps goes to the next one
        {0.94, -1, 100, 2.0 / 3},
        {16.0, 1, 100, 16.0},
        {1.0 / 16, -1, 100, 1.0 / 16},
        {3.0, 1, 3.5, 3.5}, // capped for a large picture
        {1.0, -1, 0.01, 1.0 / 16}, // never below the smallest step
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.scale * 1000 + c.steps);
        EXPECT_NEAR(morvane::viewer::zoomStep(c.scale, c.steps, c.maxScale), c.expected, 1e-9);
    }
    // 6000 x 4000 within 64 million pixels: sqrt(64e6 / 24e6).
    EXPECT_NEAR(morvane::viewer::maxZoomScale(6000, 4000, 64e6), 1.63299, 1e-4);
    // The picture point under (110, 60) of a 200 x 100 picture drawn at (10, 10) at 1:1 is
    // (100, 50); at 2 it stays under the pointer.
    const BoxRect r = morvane::viewer::zoomAround({10, 10, 200, 100}, 1.0, 2.0, 110, 60, 200, 100);
    EXPECT_EQ(r.left, -90);
    EXPECT_EQ(r.top, -40);
    EXPECT_EQ(r.width, 400);
    EXPECT_EQ(r.height, 200);
}

TEST(ViewLayoutTest, LogicalSideOfAPictureAtADevicePixelRatio)
{
    struct Case
    {
        std::int32_t side;
        double ratio;
        std::int32_t want;
    };
    const Case cases[] = {
        {300, 2.0, 150},
        {301, 2.0, 151}, // rounded
        {1, 2.0, 1}, // never 0 for a picture
        {0, 2.0, 0},
        {300, 1.5, 200},
        {300, 1.0, 300},
        {300, std::nan(""), 300},
        {300, 0.0, 300},
        {2147483647, 0.5, 2147483647}, // saturates
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.side << " at " << c.ratio);
        EXPECT_EQ(morvane::viewer::logicalSide(c.side, c.ratio), c.want);
    }
}
