// Helpers of the engine tests: an engine made in this process on a throw-away machine, the
// host's trace read back by kind, and a host that can refuse windows and counts time itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/engine_state.h"
#include "host/host_wrapper.h"
#include "tests/support/temp_machine.h"
#include "util/message_boxes.h"

namespace sx::test {

// Turns the host's trace on into a file of the machine folder for the object's lifetime.
class TraceCapture {
 public:
  explicit TraceCapture(const TempMachine& machine) : path_(machine.folder() + "/trace.log") {
    setenv("SX_TRACE", path_.c_str(), 1);
  }
  ~TraceCapture() { unsetenv("SX_TRACE"); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::string Text() const { return ReadHostFile(path_); }
  // The texts of the lines of one kind ("window", "messagebox").
  std::vector<std::string> Lines(const std::string& kind) const {
    std::vector<std::string> lines;
    std::istringstream in(Text());
    for (std::string line; std::getline(in, line);)
      if (line.compare(0, kind.size() + 1, kind + " ") == 0) lines.push_back(line.substr(kind.size() + 1));
    return lines;
  }

 private:
  std::string path_;
};

// A host around the machine's: windows can be refused, the clock is the test's, boxes are
// recorded (and still reach the machine's host, which traces them).
class EngineTestHost : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  bool refuseWindows = false;
  bool fakeClock = false;
  uint32_t now = 1000;  // the fake clock; each reading advances it by `step`
  uint32_t step = 10;
  struct Box {
    std::string title, text;
    uint32_t style;
  };
  std::vector<Box> boxes;

  std::unique_ptr<host::Window> CreateWindow(const host::WindowSpec& options) override {
    return refuseWindows ? nullptr : Inner().CreateWindow(options);
  }
  uint32_t TickCount() override {
    if (!fakeClock) return Inner().TickCount();
    const uint32_t t = now;
    now += step;
    return t;
  }
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override {
    boxes.push_back({std::string(title), std::string(text), style});
    return Inner().MessageBox(title, text, style);
  }
};

// An engine in this process: a machine (with its sxmachine.ini), the test host around it, a
// fresh engine state and the engine's objects.
struct InProcessEngine {
  explicit InProcessEngine(const std::string& sxmachineIni = "") : machine(sxmachineIni) {
    host::SetCurrentHost(&host);
    EngineState() = TEngineState{};
    SetMessageTitle("");
    engine = std::make_unique<TEngineContext>();
  }
  ~InProcessEngine() {
    engine.reset();
    EngineState() = TEngineState{};
    SetMessageTitle("");
    ExtraBoxFlags = 0;
    host::SetCurrentHost(&machine.host());
  }
  TsxMainDatabase& Database() { return engine->Database(); }

  TempMachine machine;
  EngineTestHost host{machine.host()};
  std::unique_ptr<TEngineContext> engine;
};

}  // namespace sx::test
