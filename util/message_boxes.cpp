#include "util/message_boxes.h"

#include <mutex>

#include "host/host.h"

namespace sx {

uint32_t ExtraBoxFlags = 0;

namespace {
std::mutex g_titleMutex;
std::string g_title;
}  // namespace

void SetMessageTitle(std::string_view title) {
  std::lock_guard lock(g_titleMutex);
  g_title = title;
}

std::string MessageTitle() {
  std::lock_guard lock(g_titleMutex);
  return g_title;
}

int ShowMessageBox(WindowHandle owner, std::string_view title, std::string_view text, uint32_t style) {
  host::SetNextBoxOwner(owner);
  return host::CurrentHost().MessageBox(title, text, style + ExtraBoxFlags + kMbTaskModal);
}

int ShowErrorBox(std::string_view text) {
  std::string title = MessageTitle();
  return ShowMessageBox(0, title.empty() ? "Error" : title, text, kMbIconError);
}

int ShowWarningBox(std::string_view text) {
  std::string title = MessageTitle();
  return ShowMessageBox(0, title.empty() ? "Warning" : title, text, kMbIconWarning);
}

}  // namespace sx
