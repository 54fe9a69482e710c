// The engine's own windows: the hidden main window, the splash picture and the preparing window
// with its progress bar. They are host windows (host.h): the simulated machine records what they
// would show in the trace.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "host/host.h"
#include "util/message_boxes.h"

namespace sx {

inline constexpr char kMainWindowClass[] = "SxenMainWindow";
// The private message that carries a plug-in call to the main thread (util/message_queue.h is
// its queue on this platform).
inline constexpr uint32_t WM_SXPLUGINCALL = 22801;

// The hidden main window: the main thread's queue (plug-in calls from other threads), the owner
// of the engine's windows, and the receiver of the question whether the session may end.
class TMainWindow {
 public:
  // Creates the invisible window of class "SxenMainWindow" and makes the calling thread the main
  // thread; false when the host refuses the window. While it exists the process is announced to
  // the machine's shutdown, whose question QueryEndSession answers whenever the main thread
  // serves its queue.
  bool Create();
  ~TMainWindow() { Destroy(); }
  void Destroy();
  bool Exists() const { return window_ != nullptr; }
  WindowHandle Handle() const { return window_ ? window_->Handle() : 0; }

  // Answers whether Windows may end the session (WM_QUERYENDSESSION). The answer comes from
  // OnQueryEndSession (the resume logic sets it); without one the session may not end.
  std::function<bool()> OnQueryEndSession;
  bool QueryEndSession() { return OnQueryEndSession ? OnQueryEndSession() : false; }

 private:
  std::unique_ptr<host::Window> window_;
  bool announced_ = false;
};

// What the 8 bytes at the end of a splash picture say: a minimum display time and an opacity.
struct TSplashLook {
  uint32_t MinimumMs = 0;
  uint32_t Opacity = 100;  // percent; 100 or more is opaque
};
// The look of a splash file; the 8 bytes count only beyond the bitmap's own size.
TSplashLook ReadSplashLook(std::string_view fileBytes);
// The width and height of a Windows bitmap file; false when it is no readable bitmap.
bool BitmapSize(std::string_view fileBytes, int& width, int& height);
// The number of rectangles of a region data block; -1 when the block is damaged.
int RegionRectangles(std::string_view fileBytes);
// A splash's constant alpha for an opacity below 100: opacity x 2.55, halves to even.
int SplashAlpha(uint32_t opacity);

class TSplashWindow {
 public:
  ~TSplashWindow() { Close(); }
  // Shows the picture (with its region file and opacity) centred in the work area; nothing when
  // the file is missing or no bitmap.
  void Show(std::string_view picturePath, WindowHandle owner);
  bool Visible() const { return window_ != nullptr; }
  // Waits, serving messages, until the splash was visible for its minimum time, then destroys it.
  void Close();

 private:
  std::unique_ptr<host::Window> window_;
  uint32_t shownAt_ = 0;
  uint32_t minimumMs_ = 0;
};

class TPreparingWindow {
 public:
  // Creates the window on first use: the package's "presetup.bmp" (with "presetup.rgn") when
  // there is one, else the dialog "DLG_PRESETUP" captioned for the package. Then the progress
  // is 0, the window is placed (bottom right beside a splash, else centred) and shown.
  void Show(std::string_view packageFolder, std::string_view packageName, WindowHandle owner,
            bool besideSplash);
  bool Exists() const { return window_ != nullptr; }
  bool Visible() const { return window_ && window_->Visible(); }
  void SetCaption(std::string_view caption);
  void SetProgress(int percent);
  void Destroy() { window_.reset(); }

 private:
  std::unique_ptr<host::Window> window_;
  int width_ = 0, height_ = 0;
};

// "Preparing "<name>" package..."
std::string PreparingCaption(std::string_view packageName);

}  // namespace sx
