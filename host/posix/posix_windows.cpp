// Windows of the simulated machine: nothing is drawn but a progress bar on a terminal; every
// change is one trace line, so tests see what a user would have seen.
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "host/posix/posix_host_impl.h"
#include "host/region_data.h"

namespace sx::host {
namespace {

std::atomic<intptr_t> g_nextHandle{0x10010};

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

class PosixWindow final : public Window {
 public:
  PosixWindow(Host& host, const WindowSpec& options)
      : host_(host),
        handle_(g_nextHandle.fetch_add(0x10)),
        name_(Quoted(options.title)),
        width_(options.width),
        height_(options.height) {
    host_.Trace("window", "create " + name_ + " class=" + options.className +
                              " handle=" + std::to_string(handle_) +
                              " owner=" + std::to_string(options.owner) + Geometry(options.x, options.y, options.width, options.height));
  }
  ~PosixWindow() override {
    if (drawing_) std::fputc('\n', stderr);
    host_.Trace("window", "close " + name_);
  }

  intptr_t Handle() override { return handle_; }
  void SetCaption(std::string_view caption) override {
    host_.Trace("window", "caption " + name_ + " text=" + Quoted(caption));
  }
  void Place(int x, int y, int width, int height) override {
    width_ = width;
    height_ = height;
    host_.Trace("window", "place " + name_ + Geometry(x, y, width, height));
  }
  int Width() override { return width_; }
  int Height() override { return height_; }
  void Show() override {
    visible_ = true;
    host_.Trace("window", "show " + name_);
  }
  bool Visible() override { return visible_; }
  void SetAlpha(int alpha) override {
    host_.Trace("window", "alpha " + name_ + " " + std::to_string(alpha));
  }
  void SetRegion(std::string_view regionData) override {
    host_.Trace("window", "region " + name_ + " rects=" + std::to_string(RegionRectangleCount(regionData)));
  }
  void SetProgress(int percent) override {
    if (percent == progress_) return;
    progress_ = percent;
    host_.Trace("window", "progress " + name_ + " " + std::to_string(percent));
    if (visible_ && isatty(STDERR_FILENO)) {
      const int filled = percent * 40 / 100;
      std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                   40 - filled, "", percent);
      drawing_ = true;
    }
  }

 private:
  static std::string Geometry(int x, int y, int w, int h) {
    return " x=" + std::to_string(x) + " y=" + std::to_string(y) + " w=" + std::to_string(w) +
           " h=" + std::to_string(h);
  }

  Host& host_;
  intptr_t handle_;
  std::string name_;
  int width_, height_;
  bool visible_ = false;
  bool drawing_ = false;
  int progress_ = -1;
};

}  // namespace

std::unique_ptr<Window> PosixHost::CreateWindow(const WindowSpec& options) {
  return std::make_unique<PosixWindow>(*this, options);
}

}  // namespace sx::host
