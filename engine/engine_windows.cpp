#include "engine/engine_windows.h"

#include "engine/engine_common.h"
#include "platform/file_utils.h"
#include "util/message_queue.h"
#include "util/os_version.h"

namespace sx {
namespace {

uint32_t Le32(std::string_view bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// The dialog "DLG_PRESETUP": 262 x 34 dialog units in MS Sans Serif 8 pt (6 x 13 pixels per 4 x 8
// units), with a caption and a thin frame.
constexpr int kDialogWidth = 262 * 6 / 4 + 6;
constexpr int kDialogHeight = 34 * 13 / 8 + 25;

// The progress bar of a preparing window drawn from a picture: smooth, dark grey on white.
constexpr host::ProgressBarSpec kPictureProgressBar{48, 143, 189, 16, 0x636363, 0xFFFFFF};

std::unique_ptr<host::Window> MakeWindow(std::string_view cls, std::string_view title,
                                         WindowHandle owner, int x, int y, int w, int h,
                                         std::string_view picture = {},
                                         std::optional<host::ProgressBarSpec> progressBar = {}) {
  host::WindowSpec window;
  window.className = std::string(cls);
  window.title = std::string(title);
  window.owner = owner;
  window.x = x;
  window.y = y;
  window.width = w;
  window.height = h;
  window.picture = std::string(picture);
  window.progressBar = progressBar;
  return host::CurrentHost().CreateWindow(window);
}

void ApplyRegion(host::Window& window, const std::string& regionPath) {
  auto& host = host::CurrentHost();
  if (!host.GetFileInfo(regionPath)) return;
  const std::string region = ReadWholeFile(regionPath);
  if (RegionRectangles(region) >= 0) window.SetRegion(region);
}

}  // namespace

bool TMainWindow::Create() {
  SetMainThread();
  window_ = MakeWindow(kMainWindowClass, "", 0, 0, 0, 0, 0);
  if (!window_) return false;
  // Without the announcement the machine's shutdown does not ask this engine, and the run goes
  // on as it would on a machine that never ends its session.
  if (host::CurrentHost().AnnounceSession()) {
    announced_ = true;
    SetServeHook([this] { host::CurrentHost().ServeSessionQueries([this] { return QueryEndSession(); }); });
  }
  return true;
}

void TMainWindow::Destroy() {
  if (announced_) {
    SetServeHook({});
    host::CurrentHost().WithdrawSession();
    announced_ = false;
  }
  window_.reset();
}

TSplashLook ReadSplashLook(std::string_view bytes) {
  TSplashLook look;
  if (bytes.size() < 6) return look;
  const uint64_t bitmapSize = Le32(bytes, 2);
  if (bitmapSize < 26 || bytes.size() < bitmapSize + 8) return look;
  const size_t tail = bytes.size() - 8;
  look.MinimumMs = Le32(bytes, tail);
  look.Opacity = Le32(bytes, tail + 4);
  return look;
}

bool BitmapSize(std::string_view bytes, int& width, int& height) {
  if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  const uint32_t headerSize = Le32(bytes, 14);
  const uint32_t dataOffset = Le32(bytes, 10);
  int64_t w, h;
  if (headerSize == 12) {  // BITMAPCOREHEADER
    w = static_cast<unsigned char>(bytes[18]) | static_cast<unsigned char>(bytes[19]) << 8;
    h = static_cast<unsigned char>(bytes[20]) | static_cast<unsigned char>(bytes[21]) << 8;
  } else if (headerSize >= 40 && bytes.size() >= 54) {
    w = static_cast<int32_t>(Le32(bytes, 18));
    h = static_cast<int32_t>(Le32(bytes, 22));
    if (h < 0) h = -h;  // a top-down bitmap
  } else {
    return false;
  }
  if (w <= 0 || h <= 0 || w > 32767 || h > 32767 || dataOffset > bytes.size()) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

int RegionRectangles(std::string_view bytes) {
  // RGNDATAHEADER: dwSize (32), iType (RDH_RECTANGLES, 1), nCount, nRgnSize, rcBound.
  if (bytes.size() < 32 || Le32(bytes, 0) != 32 || Le32(bytes, 4) != 1) return -1;
  const uint64_t count = Le32(bytes, 8);
  if (32 + count * 16 > bytes.size()) return -1;
  return static_cast<int>(count);
}

int SplashAlpha(uint32_t opacity) {
  const uint64_t scaled = uint64_t(opacity) * 255;
  uint64_t alpha = scaled / 100;
  const uint64_t rest = scaled % 100;
  if (rest > 50 || (rest == 50 && alpha % 2 == 1)) ++alpha;
  return static_cast<int>(alpha);
}

void TSplashWindow::Show(std::string_view picturePath, WindowHandle owner) {
  auto& host = host::CurrentHost();
  const std::string path(picturePath);
  if (window_ || !host.GetFileInfo(path)) return;
  const std::string bytes = ReadWholeFile(path);
  int width = 0, height = 0;
  if (!BitmapSize(bytes, width, height)) return;
  const TSplashLook look = ReadSplashLook(bytes);
  const auto& facts = host.Facts();
  window_ = MakeWindow(kMainWindowClass, "SXSplashWindow", owner, (facts.screenWidth - width) / 2,
                       (facts.screenHeight - height) / 2, width, height, path);
  if (!window_) return;
  minimumMs_ = look.MinimumMs > 0xFFFFFFFFu / 1000 ? 0xFFFFFFFFu : look.MinimumMs * 1000;
  const std::string region = path.substr(0, path.size() - 4) + ".rgn";
  ApplyRegion(*window_, region);
  const TOSKind kind = OSVersion().Kind;
  if (look.Opacity < 100 && (kind == osWin2000 || kind == osWinMe || kind == osWinXP))
    window_->SetAlpha(SplashAlpha(look.Opacity));
  window_->Show();
  shownAt_ = host.TickCount();
}

void TSplashWindow::Close() {
  if (!window_) return;
  WaitServingMessages(shownAt_, minimumMs_);
  window_.reset();
}

void TPreparingWindow::Show(std::string_view packageFolder, std::string_view packageName,
                            WindowHandle owner, bool besideSplash) {
  auto& host = host::CurrentHost();
  if (!window_) {
    const std::string picture = std::string(packageFolder) + "presetup.bmp";
    int width = 0, height = 0;
    if (host.GetFileInfo(picture) && BitmapSize(ReadWholeFile(picture), width, height)) {
      window_ = MakeWindow(kMainWindowClass, "SXPresetupWindow", owner, 0, 0, width, height, picture,
                           kPictureProgressBar);
      if (!window_) return;
      ApplyRegion(*window_, std::string(packageFolder) + "presetup.rgn");
    } else {
      width = kDialogWidth;
      height = kDialogHeight;
      window_ = MakeWindow("DLG_PRESETUP", "Tarrow Installer initializing...", owner, 0, 0, width,
                           height);
      if (!window_) return;
      window_->SetCaption(PreparingCaption(packageName));
    }
    // The dialog's real size comes from its template and the system's dialog font.
    width_ = window_->Width();
    height_ = window_->Height();
  }
  window_->SetProgress(0);
  const auto& facts = host.Facts();
  if (besideSplash)
    window_->Place(facts.screenWidth - width_ - 20, facts.screenHeight - height_ - 20, width_,
                   height_);
  else
    window_->Place((facts.screenWidth - width_) / 2, (facts.screenHeight - height_) / 2, width_,
                   height_);
  window_->Show();
}

void TPreparingWindow::SetCaption(std::string_view caption) {
  if (window_) window_->SetCaption(caption);
}

void TPreparingWindow::SetProgress(int percent) {
  if (window_) window_->SetProgress(percent);
}

std::string PreparingCaption(std::string_view packageName) {
  return "Preparing \"" + std::string(packageName) + "\" package...";
}

}  // namespace sx
