// Plug-in events: the round trip of an event sent to a plug-in, on the main thread and from a
// second thread (the installation thread) through the main thread's message loop, which is how
// every event of the file phase reaches the plug-ins. Goal: 20 µs or less per round trip from
// the second thread. Prints one table.
//
// The plug-in lives in this program: the machine's host is wrapped so that loading
// "C:\bench\echo.dll" gives a library whose GetPluginInfo is the one below, and the plug-in host
// loads and calls it like any other. It answers every event with its Param1.
//
// usage: plugin_bench [EVENTS]   (default 100000)
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "host/host_wrapper.h"
#include "host/posix/posix_host.h"
#include "plugins/plugin_host.h"
#include "util/message_queue.h"

namespace {

using Clock = std::chrono::steady_clock;

std::intptr_t SX_STDCALL EchoHandler(int32_t, const char*, std::intptr_t param1, std::intptr_t) {
  return param1;
}

void SX_STDCALL EchoPluginInfo(SxPluginInfo* info) {
  info->RequiredVersion = SX_ENGINE_VERSION;
  std::strcpy(info->ID, "echo");
  info->EventHandler = EchoHandler;
}

class EchoLibrary : public sx::host::Library {
 public:
  void* Symbol(const std::string& name) override {
    return name == "GetPluginInfo" ? reinterpret_cast<void*>(&EchoPluginInfo) : nullptr;
  }
};

// The machine, except that the echo plug-in is a library of this program.
class BenchHost : public sx::host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  std::unique_ptr<sx::host::Library> LoadLibrary(std::string_view path) override {
    if (path == "C:\\bench\\echo.dll") return std::make_unique<EchoLibrary>();
    return HostWrapper::LoadLibrary(path);
  }
};

// Only what loading a plug-in asks of the engine.
class BenchServices : public sx::TPluginEngineServices {
 public:
  std::string ReadVariable(sx::TXMLObject&, std::string_view, std::string_view def) override {
    return std::string(def);
  }
  void WriteVariable(sx::TXMLObject&, std::string_view, std::string_view) override {}
  std::string ExpandText(sx::TXMLObject&, std::string_view text) override { return std::string(text); }
  sx::TsxFeature* FindFeature(sx::TsxFeatures&, std::string_view, sx::TsxFeature*&,
                              sx::TsxFeature*&) override {
    return nullptr;
  }
  sx::TsxInstallType* FindInstallType(sx::TsxInstallTypes&, std::string_view,
                                      sx::TsxInstallType*&) override {
    return nullptr;
  }
  bool SetFeatureState(sx::TsxMainDatabase&, std::string_view, bool) override { return false; }
  bool SetActiveInstallType(sx::TsxMainDatabase&, std::string_view) override { return false; }
  std::string EvaluateExpression(std::string_view, std::intptr_t) override { return ""; }
  bool EvaluateCondition(std::string_view, std::intptr_t) override { return false; }
  int RegisterFunction(sx::TPlugin&, std::string_view, int32_t) override { return 0; }
  void ReleaseFunctions(sx::TPlugin&) override {}
  void SetAborted() override {}
  void SuspendInstall() override {}
  void ResumeInstall() override {}
  std::vector<std::string> LanguageList() override { return {}; }
  void SetLanguage(std::string_view) override {}
  bool SetPassword(std::string_view) override { return false; }
  bool IsPasswordValid() override { return true; }
  void LogAddRecord(std::string_view, std::string_view) override {}
  std::intptr_t InstallIcon(bool) override { return 0; }
};

// Microseconds per event for `events` events sent on the calling (main) thread.
double OnMainThread(sx::TPluginHost& host, int events) {
  const auto start = Clock::now();
  for (int i = 0; i < events; ++i)
    if (host.SendEvent(EV_FILEINSTALLPROGRESS, i, 0, false) != i) std::abort();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / events;
}

// Microseconds per round trip for `events` events sent from a second thread while the main
// thread serves its message loop.
double FromSecondThread(sx::TPluginHost& host, int events) {
  std::atomic<bool> done{false};
  const auto start = Clock::now();
  std::thread installer([&] {
    for (int i = 0; i < events; ++i)
      if (host.SendEvent(EV_FILEINSTALLPROGRESS, i, 0, false) != i) std::abort();
    done = true;
  });
  while (!done) sx::PumpMessages();
  installer.join();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / events;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const int events = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  unsetenv("SX_TRACE");  // the trace is off in a real run unless asked for

  std::string pattern = (fs::temp_directory_path() / "sx-plugin-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  int status = 0;
  {
    std::unique_ptr<sx::host::Host> machine = sx::host::OpenPosixHost(pattern);
    BenchHost host(*machine);
    sx::host::Host* previous = sx::host::SetCurrentHost(&host);

    sx::TsxMainDatabase database;
    sx::TsxPackage& package = database.Packages->AddNew();
    package.Plugins->AddNew().ID = "echo";
    BenchServices services;
    sx::TPluginHost plugins(database, services);
    if (!plugins.LoadPlugin(package, "C:\\bench\\echo.dll") || plugins.Plugins().Count() != 1) {
      std::fprintf(stderr, "the echo plug-in was not loaded\n");
      status = 1;
    } else {
      OnMainThread(plugins, std::min(events, 1000));  // warm-up
      const double direct = OnMainThread(plugins, events);
      const double handed = FromSecondThread(plugins, events);
      std::printf("%-52s %10s %12s\n", "plug-in event round trip", "events", "us/event");
      std::printf("%-52s %10d %12.3f\n", "SendEvent on the main thread", events, direct);
      std::printf("%-52s %10d %12.3f\n", "SendEvent from a second thread via the main loop",
                  events, handed);
      plugins.UnloadAllPlugins();
    }
    sx::host::SetCurrentHost(previous);
  }
  fs::remove_all(pattern);
  return status;
}
