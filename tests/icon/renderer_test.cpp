// One renderer tick after another, with the processors' readings and the system times made up by
// the test, every bitmap and icon counted from creation to destruction, and the pixels of the last
// colour bitmap kept. What a tick did shows in the icon it returns.
#include <gtest/gtest.h>

#include "common/flags.h"
#include "fake_power.h"
#include "icon/cell_layout.h"
#include "icon/renderer.h"
#include "icon/renderer_state.h"
#include "seams.h"
#include "settings/settings.h"

static ULONGLONG s_times[3];               // idle, kernel and user time, as GetSystemTimes reports them
static int s_timeCalls, s_made, s_failing; // bitmaps and icons made; the one (from 1) that fails
static std::set<HANDLE> s_live;            // bitmaps and icons not deleted yet
static std::vector<uint32_t> s_pixels;     // of the last colour bitmap

// The headers declare GetSystemTimes without dllimport: the program calls it directly, so the
// replacement is a function of that name rather than a seam.
extern "C" WINBOOL WINAPI GetSystemTimes(LPFILETIME idle, LPFILETIME kernel, LPFILETIME user) {
    memcpy(idle, s_times, 8);
    memcpy(kernel, s_times + 1, 8);
    memcpy(user, s_times + 2, 8);
    return ++s_timeCalls;
}

struct Fake {
    static HBITMAP WINAPI Bitmap(int w, int h, UINT planes, UINT bits, const void* px) {
        if (bits == 32)
            s_pixels.assign(static_cast<const uint32_t*>(px), static_cast<const uint32_t*>(px) + w * h);
        return Made(++s_made == s_failing ? NULL : REAL(L"gdi32.dll", CreateBitmap)(w, h, planes, bits, px));
    }
    static HICON WINAPI Icon(PICONINFO info) {
        return Made(++s_made == s_failing ? NULL : REAL(L"user32.dll", CreateIconIndirect)(info));
    }
    template <typename Object> static Object Made(Object made) {
        s_live.insert(made);
        return made;
    }
    static BOOL WINAPI Delete(HGDIOBJ x) {
        s_live.erase(x);
        return REAL(L"gdi32.dll", DeleteObject)(x);
    }
    static BOOL WINAPI Destroy(HICON x) {
        s_live.erase(x);
        return REAL(L"user32.dll", DestroyIcon)(x);
    }
};

SEAM(CreateBitmap, Fake::Bitmap);
SEAM(CreateIconIndirect, Fake::Icon);
SEAM(DeleteObject, Fake::Delete);
SEAM(DestroyIcon, Fake::Destroy);

const DWORD kActive = 0xFF123456, kFull = 0xC08080FF, kHalf = 0x308080FF; // fills

class Renderer : public ::testing::Test {
  protected:
    HICON shown = NULL; // as the main loop keeps it
    const int width = g_iconWidth, height = g_iconHeight;

    void SetUp() override {
        g_borders = 1;
        g_colorBorder = 0x80000000;
        g_colorFrequency = 0x008080FF;
        g_colorActive = kActive;
        UseFakePower();
        g_iconWidth = g_iconHeight = 16;
        g_processorCount = 4;                                 // all at 3000 of 3000 MHz
        LayoutCells(4, {false, 0, 1, 0}, 16, 16, 1, g_cells); // cells of 5 pixels from (1, 1) to (9, 9)
        // A renderer that remembers nothing yet, on a machine just started.
        memset(g_powerSnapshot, 0, sizeof(g_powerSnapshot));
        memset(s_times, 0, sizeof(s_times));
        g_unchangedTicks = 0;
        g_previousIdleTime = g_previousKernelTime = g_previousUserTime = 0;
        g_forceRedraw = 0;
        s_failing = 0;
    }
    void TearDown() override {
        DestroyIcon(shown);
        shown = NULL;
        s_live.erase(NULL);
        EXPECT_TRUE(s_live.empty()) << "GDI objects left behind";
        g_iconWidth = width;
        g_iconHeight = height;
    }
    // Ticks with `total` 100-ns units passing before each, `idle` of them idle. Each comes after
    // a tick whose power query fails, which must do nothing at all. What each painted, by the fill
    // of the first cell: '.' nothing, 'A' the activity colour, 'F' full clock, 'H' half clock. The
    // main loop shows each new icon and destroys the one before.
    std::string Ticks(int count, ULONGLONG total = 0, ULONGLONG idle = 0, bool forced = false) {
        std::string painted;
        for (int i = 0; i < count; ++i) {
            g_forceRedraw = g_forceRedraw || forced;
            const int calls = s_made + s_timeCalls;
            g_fakeReadingStatus = static_cast<LONG>(0xC0000001);
            EXPECT_TRUE(!RenderTrayIcon() && calls == s_made + s_timeCalls) << "failed, yet did";
            g_fakeReadingStatus = 0;
            s_times[0] += idle; // half the busy time in the kernel, the rest in user mode
            s_times[1] += idle + (total - idle) / 2;
            s_times[2] += total - idle - (total - idle) / 2;
            const HICON icon = RenderTrayIcon();
            const DWORD fill = icon ? s_pixels.at(3 * 16 + 3) : 0;
            painted += !icon ? '.' : fill == kActive ? 'A' : fill == kFull ? 'F' : fill == kHalf ? 'H' : '?';
            if (icon) {
                DestroyIcon(shown);
                shown = icon;
            }
        }
        return painted;
    }
};

// Repainted: the first tick (forced by the start-up layout), the next one (compared with the
// readings from before the forced one), then every fifth unchanged tick in the activity colour
// while the machine is more than 95 % busy.
TEST_F(Renderer, SustainedLoadRepaintsInTheActivityColourEveryFifthUnchangedTick) {
    g_forceRedraw = 1;
    EXPECT_EQ("FF....A....A....A....A", Ticks(22, 1000, 10)); // 99 % busy
    EXPECT_EQ("..........", Ticks(10, 1000, 900));            // the load falls, the colour stays
    g_fakeReadings[0].CurrentMhz = 1500;                      // until the next change
    EXPECT_EQ("H", Ticks(1, 1000, 900));
}

TEST_F(Renderer, BusyMeansMoreThan95Percent) {
    // q = 5 is 95 % busy, q = 4 is 96 %, 4.9 counts as 4; no time passed: no busy test; more
    // idle than elapsed time is no load.
    const std::tuple<ULONGLONG, ULONGLONG, const char*> cases[] = {
        {100, 5, "F......"},   {100, 4, "F....A."}, {1000, 49, "F....A."},
        {1000, 50, "F......"}, {0, 0, "F......"},   {100, 150, "F......"}};
    for (const auto& [total, idle, painted] : cases) {
        TearDown();
        SetUp();
        EXPECT_EQ(painted, Ticks(7, total, idle)) << idle << " of " << total << " idle";
    }
}

// Only the clock and the idle state count as a change, in processor-number order.
TEST_F(Renderer, OnlyChangedClocksOrIdleStatesRepaint) {
    for (DWORD i = 0; i < 4; ++i) // reported in reverse, processor 0 at half clock
        g_fakeReadings[i] = {3 - i, 3000, i == 3 ? 1500u : 3000u, 3000, 0, 0};
    EXPECT_EQ("H..........", Ticks(11)); // no time passes
    std::swap(g_fakeReadings[0], g_fakeReadings[3]);
    g_fakeReadings[1].MaxMhz = 2000;
    g_fakeReadings[1].MhzLimit = 1000;
    g_fakeReadings[1].MaxIdleState = 2;
    EXPECT_EQ(".", Ticks(1));
    g_fakeReadings[2].CurrentIdleState = 1;
    EXPECT_EQ("H", Ticks(1));
}

TEST_F(Renderer, FailedBitmapsOrIconGiveNoIconAndLeaveNoObject) {
    for (int failing : {1, 2, 3}) { // colour bitmap, mask bitmap, icon
        s_made = 0;
        s_failing = failing;
        g_forceRedraw = 1;
        EXPECT_EQ(".", Ticks(1)) << failing;
        EXPECT_EQ(std::set<HANDLE>({NULL}), s_live) << failing;
    }
    // An icon of no pixels.
    g_iconWidth = g_iconHeight = 0;
    g_forceRedraw = 1;
    s_made = 0;
    EXPECT_EQ(".", Ticks(1));
    EXPECT_EQ(0, s_made);
}

TEST_F(Renderer, RepaintsLeaveOnlyTheShownIconAndItHoldsThePixels) {
    EXPECT_EQ(std::string(10000, 'F'), Ticks(10000, 0, 0, true));
    EXPECT_EQ(std::set<HANDLE>({shown}), s_live);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(shown, &info));
    BITMAPINFO format = {{sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::vector<uint32_t> pixels(256);
    HDC dc = GetDC(NULL);
    EXPECT_EQ(16, GetDIBits(dc, info.hbmColor, 0, 16, pixels.data(), &format, DIB_RGB_COLORS));
    ReleaseDC(NULL, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_EQ(s_pixels, pixels);
}
