// One renderer tick after another, with the power readings and the system times made up by
// the test, and every bitmap and icon counted from creation to destruction.
#include <windows.h>
#include <powrprof.h>
#include <gtest/gtest.h>
#include <string.h>
#include <set>
#include <vector>
#include "app/tray_window.h"
#include "icon/cell_layout.h"
#include "icon/renderer.h"
#include "settings/settings.h"

namespace {

ProcessorReading g_readings[kMaxProcessors]; // what the power manager reports
LONG g_powerStatus;                          // an NTSTATUS
ULONGLONG g_idle, g_kernel, g_user;          // what GetSystemTimes reports
int g_systemTimeCalls;

std::set<HGDIOBJ> g_liveBitmaps;
std::set<HICON> g_liveIcons;
int g_bitmapCalls, g_failBitmapCall; // the CreateBitmap call (counted from 1) that fails
int g_iconsMade, g_gdiCalls;
bool g_failIcon;
std::vector<uint32_t> g_lastColours; // the 32-bit pixels of the last colour bitmap

std::vector<HICON> g_trayUpdates;
HICON g_currentAtUpdate;

template <typename F> F Real(const wchar_t* dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(dll), name)));
}

HBITMAP WINAPI CountedCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data) {
    static const auto real = Real<decltype(&CountedCreateBitmap)>(L"gdi32.dll", "CreateBitmap");
    ++g_gdiCalls;
    if (++g_bitmapCalls == g_failBitmapCall)
        return NULL;
    if (bits == 32)
        g_lastColours.assign(static_cast<const uint32_t*>(data),
                             static_cast<const uint32_t*>(data) + width * height);
    HBITMAP bitmap = real(width, height, planes, bits, data);
    if (bitmap != NULL)
        g_liveBitmaps.insert(bitmap);
    return bitmap;
}

HICON WINAPI CountedCreateIconIndirect(PICONINFO info) {
    static const auto real = Real<decltype(&CountedCreateIconIndirect)>(L"user32.dll", "CreateIconIndirect");
    ++g_gdiCalls;
    if (g_failIcon)
        return NULL;
    HICON icon = real(info);
    if (icon != NULL) {
        g_liveIcons.insert(icon);
        ++g_iconsMade;
    }
    return icon;
}

BOOL WINAPI CountedDeleteObject(HGDIOBJ object) {
    static const auto real = Real<decltype(&CountedDeleteObject)>(L"gdi32.dll", "DeleteObject");
    ++g_gdiCalls;
    g_liveBitmaps.erase(object);
    return real(object);
}

BOOL WINAPI CountedDestroyIcon(HICON icon) {
    static const auto real = Real<decltype(&CountedDestroyIcon)>(L"user32.dll", "DestroyIcon");
    ++g_gdiCalls;
    g_liveIcons.erase(icon);
    return real(icon);
}

} // namespace

// The program's calls to these go to the counting versions above.
extern "C" {
void* __imp_CreateBitmap = reinterpret_cast<void*>(&CountedCreateBitmap);
void* __imp_CreateIconIndirect = reinterpret_cast<void*>(&CountedCreateIconIndirect);
void* __imp_DeleteObject = reinterpret_cast<void*>(&CountedDeleteObject);
void* __imp_DestroyIcon = reinterpret_cast<void*>(&CountedDestroyIcon);

LONG WINAPI CallNtPowerInformation(POWER_INFORMATION_LEVEL level, PVOID input, ULONG inputLength,
                                   PVOID output, ULONG outputLength) {
    EXPECT_EQ(ProcessorInformation, level);
    EXPECT_EQ(nullptr, input);
    EXPECT_EQ(0u, inputLength);
    EXPECT_EQ(sizeof(g_readings), outputLength);
    if (g_powerStatus != 0) {
        memset(output, 0xAB, outputLength); // whatever a failing call leaves
        return g_powerStatus;
    }
    memcpy(output, g_readings, sizeof(g_readings));
    return 0;
}

WINBOOL WINAPI GetSystemTimes(LPFILETIME idle, LPFILETIME kernel, LPFILETIME user) {
    ++g_systemTimeCalls;
    const ULONGLONG values[] = {g_idle, g_kernel, g_user};
    FILETIME* times[] = {idle, kernel, user};
    for (int i = 0; i < 3; ++i) {
        times[i]->dwLowDateTime = static_cast<DWORD>(values[i]);
        times[i]->dwHighDateTime = static_cast<DWORD>(values[i] >> 32);
    }
    return TRUE;
}
}

// The tray's side: records which icon it was given and what it showed before.
bool UpdateTrayIcon(HWND, HICON icon) {
    g_trayUpdates.push_back(icon);
    g_currentAtUpdate = g_currentTrayIcon;
    return true;
}

namespace {

const DWORD kActive = 0xFF123456;
const DWORD kFullFill = 0xC08080FF;

// Total and idle time passing between two ticks; the kernel time includes the idle time.
void Elapse(ULONGLONG total, ULONGLONG idle) {
    g_idle += idle;
    g_kernel += idle + (total - idle) / 2;
    g_user += (total - idle) - (total - idle) / 2;
}

class RendererTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_borders = 1;
        g_colorBorder = 0x80000000;
        g_colorFrequency = 0x008080FF;
        g_colorActive = kActive;
        g_colorShadow = 0x20000000;
        g_processorCount = 4;
        LayoutCells(4, {false, 0, 1}, g_iconWidth, g_iconHeight, g_borders, g_cells);
        g_forceRedraw = 0;
        g_unchangedTicks = 0;
        memset(g_powerSnapshot, 0, sizeof(g_powerSnapshot));
        g_previousIdleTime = g_previousKernelTime = g_previousUserTime = 0;
        memset(g_readings, 0, sizeof(g_readings));
        for (DWORD i = 0; i < 4; ++i)
            g_readings[i] = {i, 3000, 3000, 3000, 0, 0};
        g_powerStatus = 0;
        g_idle = g_kernel = g_user = 0;
        g_systemTimeCalls = 0;
        g_failBitmapCall = 0;
        g_failIcon = false;
        g_trayUpdates.clear();

        // The placeholder the program starts with, made here so that it is counted too.
        DWORD pixels[16 * 16] = {};
        ICONINFO info = {TRUE, 0, 0, CreateBitmap(16, 16, 1, 1, pixels), CreateBitmap(16, 16, 1, 32, pixels)};
        g_currentTrayIcon = CreateIconIndirect(&info);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
        ASSERT_NE(nullptr, g_currentTrayIcon);
        g_iconsMade = g_gdiCalls = g_bitmapCalls = 0;
    }

    void TearDown() override {
        // Nothing made by the renderer outlives it but the icon the tray shows.
        EXPECT_TRUE(g_liveBitmaps.empty());
        EXPECT_EQ(std::set<HICON>{g_currentTrayIcon}, g_liveIcons);
        DestroyIcon(g_currentTrayIcon);
        g_liveIcons.clear();
        g_currentTrayIcon = NULL;
        g_iconWidth = g_iconHeight = 16;
        g_iconPixelCount = 256;
    }

    // One tick; true when it made a new icon.
    bool Tick() {
        const int before = g_iconsMade;
        RenderTrayIcon(reinterpret_cast<HWND>(0x1234));
        return g_iconsMade != before;
    }
    // Fill of the first cell in the last painted icon.
    DWORD FirstCellFill() const { return g_lastColours.at(3 * 16 + 3); }
};

TEST_F(RendererTest, FirstTickRepaintsAndReplacesTheStartIcon) {
    const HICON placeholder = g_currentTrayIcon;
    g_forceRedraw = 1; // as the start-up layout leaves it
    Elapse(1000, 0);   // fully busy since the system started: too early for the activity colour
    ASSERT_TRUE(Tick());
    EXPECT_EQ(0, g_forceRedraw);
    EXPECT_EQ(0u, g_unchangedTicks);
    EXPECT_EQ(kFullFill, FirstCellFill());
    // The tray got the new icon while the old one still existed; then the old one went.
    ASSERT_EQ(1u, g_trayUpdates.size());
    EXPECT_EQ(g_currentTrayIcon, g_trayUpdates[0]);
    EXPECT_EQ(placeholder, g_currentAtUpdate);
    EXPECT_NE(placeholder, g_currentTrayIcon);
    EXPECT_EQ(0u, g_liveIcons.count(placeholder));
    // A forced tick leaves the snapshot alone but takes the system times.
    EXPECT_EQ(0u, g_powerSnapshot[0].CurrentMhz);
    EXPECT_EQ(g_idle, g_previousIdleTime);
    EXPECT_EQ(g_kernel, g_previousKernelTime);
    EXPECT_EQ(g_user, g_previousUserTime);
}

TEST_F(RendererTest, SustainedLoadRepaintsInTheActivityColourEveryFifthUnchangedTick) {
    g_forceRedraw = 1;
    std::vector<int> repaints, active;
    for (int tick = 1; tick <= 22; ++tick) {
        Elapse(1000, 10); // 99 % busy
        if (Tick()) {
            repaints.push_back(tick);
            if (FirstCellFill() == kActive)
                active.push_back(tick);
        }
    }
    // Tick 2 compares against the snapshot the forced tick left alone.
    EXPECT_EQ((std::vector<int>{1, 2, 7, 12, 17, 22}), repaints);
    EXPECT_EQ((std::vector<int>{7, 12, 17, 22}), active);

    // The load falls and the readings stay: the activity colour stays too.
    for (int tick = 0; tick < 10; ++tick) {
        Elapse(1000, 900);
        EXPECT_FALSE(Tick()) << tick;
    }
    // A change repaints, in the frequency colour.
    g_readings[0].CurrentMhz = 1500;
    Elapse(1000, 900);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(0x308080FFu, FirstCellFill());
}

TEST_F(RendererTest, BusyMeansMoreThan95Percent) {
    const struct {
        ULONGLONG total, idle;
        bool busy;
    } cases[] = {
        {100, 5, false},   // q = 5: 95 %
        {100, 4, true},    // q = 4: 96 %
        {1000, 49, true},  // q = 4.9, taken as 4
        {1000, 50, false}, // q = 5
        {0, 0, false},     // no time passed: no busy test
        // More idle than elapsed time is no load, not a percentage wrapped past zero.
        {100, 150, false},
    };
    for (const auto& c : cases) {
        TearDown(); // each case starts afresh
        SetUp();
        Tick(); // settles the snapshot
        int activeRepaints = 0;
        for (int tick = 0; tick < 6; ++tick) {
            Elapse(c.total, c.idle);
            if (Tick() && FirstCellFill() == kActive)
                ++activeRepaints;
        }
        EXPECT_EQ(c.busy ? 1 : 0, activeRepaints) << c.idle << " of " << c.total;
    }
}

TEST_F(RendererTest, IdenticalSystemTimesRepaintOnlyOnChange) {
    for (int tick = 0; tick < 10; ++tick)
        EXPECT_EQ(tick == 0, Tick()) << tick; // only the first tick sees new readings
    EXPECT_EQ(9u, g_unchangedTicks);
    g_readings[2].CurrentIdleState = 1;
    ASSERT_TRUE(Tick());
    EXPECT_EQ(kFullFill, FirstCellFill());
}

TEST_F(RendererTest, FailingPowerQueryLeavesEveryStateUntouched) {
    g_forceRedraw = 1;
    g_unchangedTicks = 7;
    g_powerSnapshot[1] = {1, 2000, 1000, 2000, 1, 1};
    g_previousIdleTime = 11;
    g_previousKernelTime = 22;
    g_previousUserTime = 33;
    const HICON shown = g_currentTrayIcon;
    g_powerStatus = static_cast<LONG>(0xC0000023); // buffer too small
    Elapse(1000, 0);
    EXPECT_FALSE(Tick());
    EXPECT_EQ(1, g_forceRedraw);
    EXPECT_EQ(7u, g_unchangedTicks);
    EXPECT_EQ(1000u, g_powerSnapshot[1].CurrentMhz);
    EXPECT_EQ(0u, g_powerSnapshot[0].CurrentMhz);
    EXPECT_EQ(11u, g_previousIdleTime);
    EXPECT_EQ(22u, g_previousKernelTime);
    EXPECT_EQ(33u, g_previousUserTime);
    EXPECT_EQ(0, g_systemTimeCalls);
    EXPECT_EQ(0, g_gdiCalls);
    EXPECT_EQ(shown, g_currentTrayIcon);
}

TEST_F(RendererTest, ForcedRepaintDoesNotRefreshTheSnapshot) {
    Tick(); // snapshot: everything at 3000 MHz
    for (int i = 0; i < 4; ++i)
        g_readings[i].CurrentMhz = 1500;
    g_forceRedraw = 1;
    ASSERT_TRUE(Tick());
    EXPECT_EQ(3000u, g_powerSnapshot[0].CurrentMhz);
    ASSERT_TRUE(Tick()); // compared against the older readings
    EXPECT_EQ(1500u, g_powerSnapshot[0].CurrentMhz);
    EXPECT_FALSE(Tick());
}

TEST_F(RendererTest, ReadingsAreOrderedByProcessorNumber) {
    // Reported in reverse, processor 0 at half clock: it is the first cell.
    for (DWORD i = 0; i < 4; ++i)
        g_readings[i] = {3 - i, 3000, i == 3 ? 1500u : 3000u, 3000, 0, 0};
    ASSERT_TRUE(Tick());
    for (DWORD i = 0; i < 4; ++i)
        EXPECT_EQ(i, g_powerSnapshot[i].Number);
    EXPECT_EQ(0x308080FFu, FirstCellFill());
    // Only the clock and idle state count as a change; the order alone does not.
    std::swap(g_readings[0], g_readings[3]);
    g_readings[1].MaxMhz = 2000;
    g_readings[1].MhzLimit = 1000;
    g_readings[1].MaxIdleState = 2;
    EXPECT_FALSE(Tick());
}

TEST_F(RendererTest, FailedBitmapsOrIconKeepTheShownIcon) {
    const struct {
        int failBitmapCall; // 1: colour bitmap, 2: mask bitmap
        bool failIcon;
    } cases[] = {{1, false}, {2, false}, {0, true}};
    for (const auto& c : cases) {
        TearDown(); // each case starts afresh, and no bitmap is left behind
        SetUp();
        const HICON shown = g_currentTrayIcon;
        g_unchangedTicks = 3;
        g_failBitmapCall = c.failBitmapCall;
        g_failIcon = c.failIcon;
        g_forceRedraw = 1;
        EXPECT_FALSE(Tick());
        EXPECT_EQ(shown, g_currentTrayIcon);
        EXPECT_TRUE(g_trayUpdates.empty());
        EXPECT_EQ(0u, g_unchangedTicks);
    }
}

TEST_F(RendererTest, IconWithoutPixelsPaintsNothing) {
    g_iconWidth = g_iconHeight = g_iconPixelCount = 0;
    g_forceRedraw = 1;
    g_unchangedTicks = 3;
    EXPECT_FALSE(Tick());
    EXPECT_EQ(0, g_gdiCalls);
    EXPECT_EQ(0u, g_unchangedTicks);
    EXPECT_EQ(0, g_forceRedraw);
}

TEST_F(RendererTest, TenThousandRepaintsLeaveOnlyTheShownIcon) {
    for (int i = 0; i < 10000; ++i) {
        g_forceRedraw = 1;
        ASSERT_TRUE(Tick()) << i;
    }
    EXPECT_EQ(10000, g_iconsMade);
    EXPECT_EQ(20000, g_bitmapCalls);
    // TearDown checks that no bitmap and no other icon is alive.
}

TEST_F(RendererTest, PaintedIconHoldsThePixels) {
    g_forceRedraw = 1;
    ASSERT_TRUE(Tick());
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(g_currentTrayIcon, &info));
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16; // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    DWORD pixels[256] = {};
    HDC dc = GetDC(NULL);
    EXPECT_EQ(16, GetDIBits(dc, info.hbmColor, 0, 16, pixels, &format, DIB_RGB_COLORS));
    ReleaseDC(NULL, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    // Four cells with borders: corners, lines, fills and the transparent gaps.
    EXPECT_EQ(0x60000000u, pixels[0]);
    EXPECT_EQ(0x80000000u, pixels[3]);
    EXPECT_EQ(kFullFill, pixels[3 * 16 + 3]);
    EXPECT_EQ(0x60000000u, pixels[14 * 16 + 14]);
    EXPECT_EQ(0u, pixels[7 * 16 + 3]);
    EXPECT_EQ(0u, pixels[15 * 16 + 15]);
}

} // namespace
