// Message boxes and the engine's windows on the Win32 host. Windows are real top-level windows
// of one class; the preparing dialog gets a real progress bar (comctl32). Each change is also a
// trace line, in the same words the simulated machine uses, so tests read both hosts alike.
// Message boxes are the system's own, unless SX_MSGBOX_ANSWERS scripts the answers (tests).
#include "host/win32/win32_api.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

constexpr char kWindowClass[] = "SXEngineHostWindow";

struct AnswerName {
  int id;
  const char* name;
};

constexpr AnswerName kAnswers[] = {
    {kIdOk, "IDOK"},         {kIdCancel, "IDCANCEL"}, {kIdAbort, "IDABORT"},
    {kIdRetry, "IDRETRY"},   {kIdIgnore, "IDIGNORE"}, {kIdYes, "IDYES"},
    {kIdNo, "IDNO"},         {kIdTryAgain, "IDTRYAGAIN"}, {kIdContinue, "IDCONTINUE"},
};

const char* AnswerText(int id) {
  for (const auto& a : kAnswers)
    if (a.id == id) return a.name;
  return "IDOK";
}

// "IDYES", "YES" or "6"; 0 when it is none of them.
int ParseAnswer(const std::string& text) {
  for (const auto& a : kAnswers)
    if (_stricmp(text.c_str(), a.name) == 0 || _stricmp(text.c_str(), a.name + 2) == 0) return a.id;
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  for (const auto& a : kAnswers)
    if (end && *end == '\0' && a.id == n) return a.id;
  return 0;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"' || c == '\\') out += '\\', out += c;
    else out += c;
  }
  return out + "\"";
}

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

bool RegisterWindowClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    windowClass.hIcon = LoadIconA(windowClass.hInstance, "MAINICON");
    return RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

// Lets the windows of this thread draw what changed.
void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

class Win32Window final : public Window {
 public:
  Win32Window(Host& host, HWND window, const WindowSpec& options)
      : host_(host), window_(window), name_(TraceName(options.title)) {
    if (options.className == "DLG_PRESETUP") {
      // The preparing dialog: its progress bar across the client area, with a margin.
      RECT client;
      GetClientRect(window_, &client);
      progressBar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 8, 8,
                                     client.right - 16, 16, window_, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
      if (progressBar_) SendMessageA(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    }
    host_.Trace("window", "create " + name_ + " class=" + options.className + " handle=" +
                              std::to_string(Handle()) + " owner=" + std::to_string(options.owner) +
                              Geometry(options.x, options.y, options.width, options.height));
  }
  ~Win32Window() override {
    DestroyWindow(window_);
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
    if (progressBar_) MoveWindow(progressBar_, 8, 8, width > 40 ? width - 24 : width, 16, TRUE);
    host_.Trace("window", "place " + name_ + Geometry(x, y, width, height));
  }
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
  void SetRegion(int rectangles) override {
    // The interface passes the count of the region's rectangles, not their places: the window
    // keeps its whole rectangle as its shape.
    RECT bounds;
    GetWindowRect(window_, &bounds);
    SetWindowRgn(window_, CreateRectRgn(0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top), TRUE);
    host_.Trace("window", "region " + name_ + " rects=" + std::to_string(rectangles));
  }
  void SetProgress(int percent) override {
    if (percent == progress_) return;
    progress_ = percent;
    if (progressBar_) SendMessageA(progressBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    PumpMessages();
    host_.Trace("window", "progress " + name_ + " " + std::to_string(percent));
  }

 private:
  Host& host_;
  HWND window_;
  HWND progressBar_ = nullptr;
  std::string name_;
  int progress_ = -1;
};

}  // namespace

int Win32Host::NextScriptedAnswer() {
  std::lock_guard lock(mutex_);
  while (nextAnswer_ < scriptedAnswers_.size())
    if (int answer = ParseAnswer(scriptedAnswers_[nextAnswer_++])) return answer;
  return 0;
}

int Win32Host::MessageBox(std::string_view title, std::string_view text, uint32_t style) {
  const intptr_t owner = TakeNextBoxOwner();
  int answer = NextScriptedAnswer();
  if (!answer)
    answer = MessageBoxA(reinterpret_cast<HWND>(owner), std::string(text).c_str(),
                         std::string(title).c_str(), style);
  if (!answer) answer = kIdCancel;  // the box could not be shown
  char styleText[16];
  std::snprintf(styleText, sizeof styleText, "0x%08X", style);
  std::string line = "title=" + Quote(title) + " text=" + Quote(text) + " style=" + styleText +
                     " answer=" + AnswerText(answer);
  if (owner) line += " owner=" + std::to_string(owner);
  std::fprintf(stderr, "messagebox %s\n", AnsiToUtf8(line).c_str());
  Trace("messagebox", line);
  return answer;
}

std::unique_ptr<Window> Win32Host::CreateWindow(const WindowSpec& options) {
  if (!RegisterWindowClass()) return nullptr;
  const bool hiddenMain = options.title.empty();
  const DWORD style = hiddenMain ? WS_OVERLAPPED
                      : options.className == "DLG_PRESETUP" ? WS_POPUP | WS_CAPTION | WS_BORDER
                                                            : WS_POPUP;
  HWND window = CreateWindowExA(hiddenMain ? WS_EX_TOOLWINDOW : 0, kWindowClass,
                                options.title.c_str(), style, options.x, options.y, options.width,
                                options.height, reinterpret_cast<HWND>(options.owner), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!window) return nullptr;
  return std::make_unique<Win32Window>(*this, window, options);
}

}  // namespace sx::host
