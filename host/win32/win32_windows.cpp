// The engine's windows on the Win32 host, as real windows: the hidden main window, the splash and
// the preparing window drawn from their pictures (with their region and opacity), and the
// preparing dialog from the program's resource "DLG_PRESETUP" with its progress bar. Each change
// is also a trace line, in the same words the simulated machine uses, so tests read both hosts
// alike.
#include "host/win32/win32_api.h"

#include <functional>
#include <mutex>
#include <set>

#include "host/region_data.h"
#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

constexpr char kPreparingDialog[] = "DLG_PRESETUP";
constexpr int kDialogProgressBar = 101;
// The hidden main window: caption, system menu, sizing frame and maximise box, never shown.
constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;

std::string TraceName(std::string_view title) {
  std::string out = "\"";
  for (char c : title) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Geometry(int x, int y, int w, int h) {
  return " x=" + std::to_string(x) + " y=" + std::to_string(y) + " w=" + std::to_string(w) +
         " h=" + std::to_string(h);
}

// What a window paints: its picture, kept in the window's user data while it lives.
struct WindowFace {
  HBITMAP picture = nullptr;
};

// Whether the session may end, as the engine answers it; empty while no session is announced.
// Used on the main thread only: the windows and their messages live there.
std::function<bool()>& SessionAnswer() {
  static std::function<bool()> answer;
  return answer;
}

LRESULT CALLBACK EngineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYENDSESSION && SessionAnswer()) return SessionAnswer()() ? TRUE : FALSE;
  const auto* face = reinterpret_cast<const WindowFace*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (face && face->picture) {
    if (message == WM_ERASEBKGND) return 1;  // the picture covers everything
    if (message == WM_PAINT) {
      PAINTSTRUCT paint;
      HDC target = BeginPaint(window, &paint);
      HDC source = CreateCompatibleDC(target);
      HGDIOBJ previous = SelectObject(source, face->picture);
      BITMAP size;
      GetObjectA(face->picture, sizeof size, &size);
      BitBlt(target, 0, 0, size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
      SelectObject(source, previous);
      DeleteDC(source);
      EndPaint(window, &paint);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK PreparingDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;  // everything else as the dialog manager does it
}

void InitCommonControls() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  });
}

// Registers a window class of the engine once: redrawn whole when resized, no close command, the
// program's icon "MAINICON".
bool RegisterEngineClass(const std::string& name) {
  static std::mutex mutex;
  static std::set<std::string> registered;
  std::lock_guard lock(mutex);
  if (registered.count(name)) return true;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE;
  windowClass.lpfnWndProc = EngineWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hIcon = LoadIconA(windowClass.hInstance, "MAINICON");
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name.c_str();
  if (!RegisterClassExA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    // Without the extended registration, the plain one.
    WNDCLASSA plain = {windowClass.style, windowClass.lpfnWndProc, 0, 0, windowClass.hInstance,
                       windowClass.hIcon, windowClass.hCursor, windowClass.hbrBackground, nullptr,
                       windowClass.lpszClassName};
    if (!RegisterClassA(&plain) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  registered.insert(name);
  return true;
}

// Lets the windows of this thread draw what changed.
void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void SetUpProgressBar(HWND bar) {
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
}

class Win32Window final : public Window {
 public:
  Win32Window(Host& host, HWND window, HBITMAP picture, HWND progressBar, const WindowSpec& options)
      : host_(host), window_(window), progressBar_(progressBar), name_(TraceName(options.title)) {
    face_.picture = picture;
    if (picture) {
      SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&face_));
      InvalidateRect(window_, nullptr, TRUE);
    }
    if (progressBar_) SetUpProgressBar(progressBar_);
    host_.Trace("window", "create " + name_ + " class=" + options.className + " handle=" +
                              std::to_string(Handle()) + " owner=" + std::to_string(options.owner) +
                              Geometry(options.x, options.y, options.width, options.height));
  }
  ~Win32Window() override {
    DestroyWindow(window_);
    if (face_.picture) DeleteObject(face_.picture);
    PumpMessages();
    host_.Trace("window", "close " + name_);
  }

  intptr_t Handle() override { return reinterpret_cast<intptr_t>(window_); }
  void SetCaption(std::string_view caption) override {
    SetWindowTextA(window_, std::string(caption).c_str());
    host_.Trace("window", "caption " + name_ + " text=" + TraceName(caption));
  }
  void Place(int x, int y, int width, int height) override {
    MoveWindow(window_, x, y, width, height, TRUE);
    host_.Trace("window", "place " + name_ + Geometry(x, y, width, height));
  }
  int Width() override { return WindowBox().right - WindowBox().left; }
  int Height() override { return WindowBox().bottom - WindowBox().top; }
  void Show() override {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    PumpMessages();
    host_.Trace("window", "show " + name_);
  }
  bool Visible() override { return IsWindowVisible(window_) != FALSE; }
  void SetAlpha(int alpha) override {
    SetWindowLongPtrA(window_, GWL_EXSTYLE, GetWindowLongPtrA(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window_, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
    host_.Trace("window", "alpha " + name_ + " " + std::to_string(alpha));
  }
  void SetRegion(std::string_view regionData) override {
    // The window owns the region once it is set; a block the system refuses leaves the shape.
    HRGN region = ExtCreateRegion(nullptr, static_cast<DWORD>(regionData.size()),
                                  reinterpret_cast<const RGNDATA*>(regionData.data()));
    if (region && !SetWindowRgn(window_, region, TRUE)) DeleteObject(region);
    host_.Trace("window", "region " + name_ + " rects=" + std::to_string(RegionRectangleCount(regionData)));
  }
  void SetProgress(int percent) override {
    if (percent == progress_) return;
    progress_ = percent;
    if (progressBar_) SendMessageA(progressBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    PumpMessages();
    host_.Trace("window", "progress " + name_ + " " + std::to_string(percent));
  }

 private:
  RECT WindowBox() {
    RECT box{};
    GetWindowRect(window_, &box);
    return box;
  }

  Host& host_;
  HWND window_;
  HWND progressBar_;
  WindowFace face_;
  std::string name_;
  int progress_ = -1;
};

}  // namespace

bool Win32Host::AnnounceSession() {
  // Windows asks every program with top-level windows; the answer is set when it is served.
  return true;
}

void Win32Host::WithdrawSession() { SessionAnswer() = nullptr; }

void Win32Host::ServeSessionQueries(const std::function<bool()>& answer) {
  SessionAnswer() = answer;
  PumpMessages();
}

std::unique_ptr<Window> Win32Host::CreateWindow(const WindowSpec& options) {
  InitCommonControls();
  const HINSTANCE program = GetModuleHandleA(nullptr);
  const HWND owner = reinterpret_cast<HWND>(options.owner);
  if (options.className == kPreparingDialog) {
    // The dialog from the program's resources, at its own size (its template in dialog units of
    // the system's dialog font), where the caller says; its progress bar is its control 101.
    HWND dialog = CreateDialogParamA(program, kPreparingDialog, owner, PreparingDialogProc, 0);
    if (!dialog) return nullptr;
    SetWindowTextA(dialog, options.title.c_str());
    SetWindowPos(dialog, nullptr, options.x, options.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return std::make_unique<Win32Window>(*this, dialog, nullptr,
                                         GetDlgItem(dialog, kDialogProgressBar), options);
  }

  if (!RegisterEngineClass(options.className)) return nullptr;
  HBITMAP picture = nullptr;
  if (!options.picture.empty()) {
    picture = static_cast<HBITMAP>(
        LoadImageA(nullptr, options.picture.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!picture) return nullptr;  // a picture window without its picture is no window
  }
  const DWORD style = options.title.empty() ? kMainWindowStyle : WS_POPUP;
  HWND window = CreateWindowExA(0, options.className.c_str(), options.title.c_str(), style,
                                options.x, options.y, options.width, options.height, owner,
                                nullptr, program, nullptr);
  if (!window) {
    if (picture) DeleteObject(picture);
    return nullptr;
  }
  HWND progressBar = nullptr;
  if (const auto& bar = options.progressBar) {
    progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH,
                                  bar->x, bar->y, bar->width, bar->height, window, nullptr,
                                  program, nullptr);
    if (progressBar) {
      SendMessageA(progressBar, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(bar->barColor));
      SendMessageA(progressBar, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(bar->backgroundColor));
    }
  }
  return std::make_unique<Win32Window>(*this, window, picture, progressBar, options);
}

}  // namespace sx::host
