// Shows the engine's windows as a setup shows them while it prepares its packages: the splash
// (a picture with rounded corners, 90 percent opaque) and, at the bottom right beside it, the
// preparing dialog with its progress bar at 60 percent. For the screenshot test under Xvfb.
//   window_showcase.exe FOLDER
// writes its pictures into FOLDER (a Windows path), creates FOLDER\ready once everything is
// drawn and ends when FOLDER\stop appears, after 40 seconds at the latest.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/engine_windows.h"
#include "host/win32/win32_api.h"
#include "host/win32/win32_host.h"
#include "tests/win32/engine_pictures.h"

namespace {

// A map-like splash: sea blue fading towards the bottom, a sandy island, a white title band.
sx::test::Rgb SplashPixel(int x, int y) {
  const double dx = (x - 150) / 110.0, dy = (y - 120) / 70.0;
  const double wobble = 0.12 * std::sin(x / 9.0) * std::cos(y / 7.0);
  if (dx * dx + dy * dy < 1.0 + wobble) {
    const bool contour = std::fmod(std::sqrt(dx * dx + dy * dy) * 6.0, 1.0) < 0.12;
    return contour ? sx::test::Rgb{150, 120, 60} : sx::test::Rgb{222, 200, 140};
  }
  if (y >= 200 && y < 232) return {250, 250, 250};
  const int shade = 90 + y / 3;
  return {20, static_cast<uint8_t>(shade), static_cast<uint8_t>(shade + 60)};
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ServeMessagesFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: window_showcase FOLDER\n", stderr);
    return 2;
  }
  std::string folder = argv[1];
  if (folder.back() != '\\') folder += '\\';
  std::ofstream(folder + "splash.bmp", std::ios::binary)
      << sx::test::SplashBitmap(360, 240, 0, 90, SplashPixel);
  std::ofstream(folder + "splash.rgn", std::ios::binary) << sx::test::RoundedRegion(360, 240, 28);

  auto host = sx::host::OpenWin32Host();
  sx::host::SetCurrentHost(host.get());
  {
    sx::TMainWindow main;
    if (!main.Create()) return 1;
    sx::TSplashWindow splash;
    splash.Show(folder + "splash.bmp", main.Handle());
    sx::TPreparingWindow preparing;
    preparing.Show(folder, "atlasdata.sxp", main.Handle(), splash.Visible());
    preparing.SetProgress(60);
    if (!splash.Visible() || !preparing.Visible()) return 1;
    ServeMessagesFor(300);
    std::ofstream(folder + "ready") << "drawn\n";
    const DWORD start = GetTickCount();
    while (!Exists(folder + "stop") && GetTickCount() - start < 40000) ServeMessagesFor(100);
  }
  sx::host::SetCurrentHost(nullptr);
  return 0;
}
