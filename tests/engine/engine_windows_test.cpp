// The engine's windows: pictures and region blocks read safely, the splash's look (alpha only
// where Windows can layer windows), its minimum time, the preparing window's two forms and its
// place, and a host that refuses windows.
#include <gtest/gtest.h>


#include "engine/engine_windows.h"
#include "tests/engine/engine_test_support.h"

namespace sx {
namespace {

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A 24-bit bitmap file of the given size, with `extra` bytes appended.
std::string Bitmap(int width, int height, const std::string& extra = "") {
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t size = 54 + row * static_cast<uint32_t>(height);
  std::string bytes(size, '\0');
  bytes[0] = 'B';
  bytes[1] = 'M';
  Put32(bytes, 2, size);
  Put32(bytes, 10, 54);
  Put32(bytes, 14, 40);
  Put32(bytes, 18, static_cast<uint32_t>(width));
  Put32(bytes, 22, static_cast<uint32_t>(height));
  bytes[26] = 1;
  bytes[28] = 24;
  return bytes + extra;
}

std::string Look(uint32_t seconds, uint32_t opacity) {
  std::string bytes(8, '\0');
  Put32(bytes, 0, seconds);
  Put32(bytes, 4, opacity);
  return bytes;
}

std::string Region(uint32_t rectangles, size_t actualRectangles) {
  std::string bytes(32 + 16 * actualRectangles, '\0');
  Put32(bytes, 0, 32);
  Put32(bytes, 4, 1);
  Put32(bytes, 8, rectangles);
  return bytes;
}

TEST(EngineWindows, PicturesRegionsAndLooksAreReadSafely) {
  int w = 0, h = 0;
  EXPECT_TRUE(BitmapSize(Bitmap(200, 100), w, h));
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 100);
  EXPECT_FALSE(BitmapSize("", w, h));
  EXPECT_FALSE(BitmapSize(Bitmap(200, 100).substr(0, 20), w, h));
  std::string damaged = Bitmap(4, 4);
  Put32(damaged, 18, 0);
  EXPECT_FALSE(BitmapSize(damaged, w, h));
  Put32(damaged, 18, 4);
  Put32(damaged, 10, 1u << 30);  // pixel data beyond the file
  EXPECT_FALSE(BitmapSize(damaged, w, h));

  EXPECT_EQ(RegionRectangles(Region(3, 3)), 3);
  EXPECT_EQ(RegionRectangles(Region(4, 3)), -1);       // rectangles missing
  EXPECT_EQ(RegionRectangles(Region(0xFFFFFFFF, 1)), -1);
  EXPECT_EQ(RegionRectangles(Region(3, 3).substr(0, 20)), -1);

  // The 8 bytes count only beyond the bitmap's own size.
  const TSplashLook look = ReadSplashLook(Bitmap(4, 4, Look(3, 50)));
  EXPECT_EQ(look.MinimumMs, 3u);
  EXPECT_EQ(look.Opacity, 50u);
  const TSplashLook plain = ReadSplashLook(Bitmap(4, 4));
  EXPECT_EQ(plain.MinimumMs, 0u);
  EXPECT_EQ(plain.Opacity, 100u);
  EXPECT_EQ(ReadSplashLook(Bitmap(4, 4, "1234567")).Opacity, 100u);

  EXPECT_EQ(SplashAlpha(50), 128);  // 127.5 to even
  EXPECT_EQ(SplashAlpha(10), 26);   // 25.5 to even
  EXPECT_EQ(SplashAlpha(0), 0);
  EXPECT_EQ(SplashAlpha(99), 252);
}

TEST(EngineWindows, SplashIsCentredShapedLayeredAndKeptForItsMinimumTime) {
  test::InProcessEngine run;
  test::TraceCapture trace(run.machine);
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/splash.bmp"), Bitmap(201, 101, Look(3, 50)));
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/splash.rgn"), Region(2, 2));
  run.host.fakeClock = true;
  {
    TSplashWindow splash;
    splash.Show("C:\\pkg\\splash.bmp", 77);
    EXPECT_TRUE(splash.Visible());
    const uint32_t shown = run.host.now;
    run.host.now += 1000;  // closed one second after it appeared
    splash.Close();
    EXPECT_GE(run.host.now, shown + 3000);  // it waited the two seconds more
    EXPECT_LT(run.host.now, shown + 3100);
  }
  std::vector<std::string> lines = trace.Lines("window");
  ASSERT_FALSE(lines.empty());
  const size_t handle = lines[0].find(" handle="), owner = lines[0].find(" owner=");
  ASSERT_LT(handle, owner);
  lines[0].erase(handle, owner - handle);  // handles are the host's business
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "create \"SXSplashWindow\" class=SxenMainWindow owner=77 x=411 y=333 w=201 h=101",
                "region \"SXSplashWindow\" rects=2", "alpha \"SXSplashWindow\" 128",
                "show \"SXSplashWindow\"", "close \"SXSplashWindow\""}));
}

TEST(EngineWindows, SplashWithoutLayeringOnOlderSystemsAndNoneForDamagedPictures) {
  test::InProcessEngine run("[System]\nPlatform=NT\nVersion=4.0.1381\n");
  test::TraceCapture trace(run.machine);
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/splash.bmp"), Bitmap(20, 10, Look(0, 50)));
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/splash.rgn"), "short");
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/broken.bmp"), "BM garbage");
  {
    TSplashWindow splash;
    splash.Show("C:\\pkg\\broken.bmp", 0);
    EXPECT_FALSE(splash.Visible());
    splash.Show("C:\\pkg\\missing.bmp", 0);
    EXPECT_FALSE(splash.Visible());
    splash.Show("C:\\pkg\\splash.bmp", 0);
    EXPECT_TRUE(splash.Visible());
  }
  const auto lines = trace.Lines("window");
  ASSERT_EQ(lines.size(), 3u);  // create, show, close: no alpha, no region
  EXPECT_EQ(lines[1], "show \"SXSplashWindow\"");
}

TEST(EngineWindows, PreparingWindowIsAPictureOrTheDialogPlacedBesideTheSplashOrCentred) {
  test::InProcessEngine run;
  test::TraceCapture trace(run.machine);
  {
    TPreparingWindow dialog;
    dialog.Show("C:\\pkg\\", "setup", 5, false);
    dialog.SetProgress(40);
    dialog.SetProgress(40);  // unchanged: no new line
  }
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/presetup.bmp"), Bitmap(300, 200));
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/presetup.rgn"), Region(1, 1));
  {
    TPreparingWindow picture;
    picture.Show("C:\\pkg\\", "setup", 5, true);
  }
  const auto lines = trace.Lines("window");
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0].substr(0, 62), "create \"Tarrow Installer initializing...\" class=DLG_PRESETUP h");
  EXPECT_EQ(lines[1], "caption \"Tarrow Installer initializing...\" text=\"Preparing \"\"setup\"\" package...\"");
  EXPECT_EQ(lines[2], "progress \"Tarrow Installer initializing...\" 0");
  EXPECT_EQ(lines[3], "place \"Tarrow Installer initializing...\" x=312 y=344 w=399 h=80");  // centred
  EXPECT_EQ(lines[4], "show \"Tarrow Installer initializing...\"");
  EXPECT_EQ(lines[5], "progress \"Tarrow Installer initializing...\" 40");
  EXPECT_EQ(lines[6], "close \"Tarrow Installer initializing...\"");
  EXPECT_NE(lines[7].find("create \"SXPresetupWindow\" class=SxenMainWindow"), std::string::npos);
  EXPECT_EQ(lines[8], "region \"SXPresetupWindow\" rects=1");
  EXPECT_EQ(lines[10], "place \"SXPresetupWindow\" x=704 y=548 w=300 h=200");  // bottom right
}

TEST(EngineWindows, MainWindowIsHiddenAndAHostMayRefuseIt) {
  test::InProcessEngine run;
  TMainWindow& main = run.engine->MainWindow();
  ASSERT_TRUE(main.Create());
  EXPECT_NE(main.Handle(), 0);
  EXPECT_FALSE(main.QueryEndSession());  // nobody allows the session to end
  main.OnQueryEndSession = [] { return true; };
  EXPECT_TRUE(main.QueryEndSession());
  main.Destroy();
  EXPECT_EQ(main.Handle(), 0);
  run.host.refuseWindows = true;
  EXPECT_FALSE(main.Create());
}

}  // namespace
}  // namespace sx
