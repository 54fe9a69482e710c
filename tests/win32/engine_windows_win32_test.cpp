// The engine's windows as the Win32 host makes them, under Wine: the splash with its picture,
// region and opacity, the preparing window drawn from a picture with its own progress bar, and
// the preparing dialog from the program's resources. The windows are looked up and measured
// through user32, as another program would see them.
#include <gtest/gtest.h>

#include <fstream>

#include "host/win32/win32_api.h"  // first: it takes away the macros that rename the host's calls

#include "engine/engine_windows.h"
#include "tests/support/temp_machine.h"
#include "tests/win32/engine_pictures.h"
#include "util/message_queue.h"

namespace sx {
namespace {

struct Folder {
  explicit Folder(host::Host& host) : path(host.TempPath() + "sx-windows-test\\") {
    host.CreateFolder(path);
  }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path + name, std::ios::binary) << bytes;
  }
  std::string path;
};

test::Rgb Stripes(int x, int) { return x % 20 < 10 ? test::Rgb{200, 40, 40} : test::Rgb{40, 40, 200}; }

RECT WindowBox(HWND window) {
  RECT box{};
  GetWindowRect(window, &box);
  return box;
}

TEST(EngineWindowsOnWin32, SplashHasItsPictureRegionAndOpacity) {
  test::TempMachine machine;
  auto& host = machine.host();
  const Folder folder(host);
  folder.Write("splash.bmp", test::SplashBitmap(240, 120, 0, 50, Stripes));
  folder.Write("splash.rgn", test::RoundedRegion(240, 120, 16));

  TMainWindow main;
  ASSERT_TRUE(main.Create());
  HWND mainWindow = reinterpret_cast<HWND>(main.Handle());
  char className[64] = {};
  GetClassNameA(mainWindow, className, sizeof className);
  EXPECT_STREQ(className, "SxenMainWindow");
  EXPECT_FALSE(IsWindowVisible(mainWindow));
  EXPECT_EQ(GetClassLongPtrA(mainWindow, GCL_STYLE), 515);  // CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE
  // Caption, system menu, sizing frame and maximise box.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(mainWindow, GWL_STYLE)) & 0xCD0000u, 0xCD0000u);

  TSplashWindow splash;
  splash.Show(folder.path + "splash.bmp", main.Handle());
  ASSERT_TRUE(splash.Visible());
  HWND window = FindWindowA("SxenMainWindow", "SXSplashWindow");
  ASSERT_TRUE(window);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetWindow(window, GW_OWNER), mainWindow);
  const RECT box = WindowBox(window);
  EXPECT_EQ(box.right - box.left, 240);
  EXPECT_EQ(box.bottom - box.top, 120);
  const auto& facts = host.Facts();
  EXPECT_EQ(box.left, (facts.screenWidth - 240) / 2);
  EXPECT_EQ(box.top, (facts.screenHeight - 120) / 2);

  // The shape: the region's bounds, with the corners cut off.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(window, region), ERROR);
  RECT bounds;
  GetRgnBox(region, &bounds);
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.top, 0);
  EXPECT_EQ(bounds.right, 240);
  EXPECT_EQ(bounds.bottom, 120);
  EXPECT_TRUE(PtInRegion(region, 120, 60));
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, 239, 119));
  DeleteObject(region);

  // 50 percent opacity: layered with alpha 128.
  EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(window, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

  splash.Close();
  EXPECT_FALSE(IsWindow(window));
}

TEST(EngineWindowsOnWin32, PreparingWindowFromAPictureHasItsOwnProgressBar) {
  test::TempMachine machine;
  auto& host = machine.host();
  const Folder folder(host);
  folder.Write("presetup.bmp", test::SplashBitmap(300, 180, 0, 100, Stripes));
  TMainWindow main;
  ASSERT_TRUE(main.Create());

  TPreparingWindow preparing;
  preparing.Show(folder.path, "data.sxp", main.Handle(), false);
  ASSERT_TRUE(preparing.Visible());
  HWND window = FindWindowA("SxenMainWindow", "SXPresetupWindow");
  ASSERT_TRUE(window);
  const RECT box = WindowBox(window);
  EXPECT_EQ(box.right - box.left, 300);
  EXPECT_EQ(box.bottom - box.top, 180);
  EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_LAYERED, 0);  // opaque

  HWND bar = FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr);
  ASSERT_TRUE(bar);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(bar, GWL_STYLE)), 0x50000001u);  // visible child, smooth
  RECT barBox = WindowBox(bar);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&barBox), 2);
  EXPECT_EQ(barBox.left, 48);
  EXPECT_EQ(barBox.top, 143);
  EXPECT_EQ(barBox.right - barBox.left, 189);
  EXPECT_EQ(barBox.bottom - barBox.top, 16);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
  preparing.SetProgress(37);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 37);
  preparing.Destroy();
  EXPECT_FALSE(IsWindow(window));
}

TEST(EngineWindowsOnWin32, PreparingDialogComesFromTheResources) {
  test::TempMachine machine;
  auto& host = machine.host();
  const Folder folder(host);  // no picture: the dialog
  TMainWindow main;
  ASSERT_TRUE(main.Create());

  TPreparingWindow preparing;
  preparing.Show(folder.path, "atlas-setup.exe", main.Handle(), false);
  ASSERT_TRUE(preparing.Visible());
  HWND dialog = FindWindowA(MAKEINTATOM(32770), "Preparing \"atlas-setup.exe\" package...");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), reinterpret_cast<HWND>(main.Handle()));
  EXPECT_TRUE(GetWindowLongPtrA(dialog, GWL_STYLE) & WS_CAPTION);
  const RECT box = WindowBox(dialog);
  const auto& facts = host.Facts();
  EXPECT_EQ(box.left, (facts.screenWidth - (box.right - box.left)) / 2);  // centred
  EXPECT_EQ(box.top, (facts.screenHeight - (box.bottom - box.top)) / 2);

  HWND icon = GetDlgItem(dialog, 100);
  ASSERT_TRUE(icon);
  EXPECT_TRUE(SendMessageA(icon, STM_GETICON, 0, 0));  // "MAINICON" loaded into it
  HWND bar = GetDlgItem(dialog, 101);
  ASSERT_TRUE(bar);
  char className[64] = {};
  GetClassNameA(bar, className, sizeof className);
  EXPECT_STREQ(className, "msctls_progress32");
  // The bar lies inside the dialog's client area.
  RECT client, barBox = WindowBox(bar);
  GetClientRect(dialog, &client);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&barBox), 2);
  EXPECT_GT(barBox.left, 0);
  EXPECT_LE(barBox.right, client.right);
  EXPECT_LE(barBox.bottom, client.bottom);
  preparing.SetProgress(64);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 64);
}

TEST(EngineWindowsOnWin32, MainWindowAnswersWhetherTheSessionMayEnd) {
  test::TempMachine machine;
  TMainWindow main;
  int asked = 0;
  bool mayEnd = false;
  main.OnQueryEndSession = [&] {
    ++asked;
    return mayEnd;
  };
  ASSERT_TRUE(main.Create());
  HWND window = reinterpret_cast<HWND>(main.Handle());
  PumpMessages();  // the main thread serves its queue: from now on the engine answers
  EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), FALSE);
  mayEnd = true;
  EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_EQ(asked, 2);
  main.Destroy();
}

}  // namespace
}  // namespace sx
