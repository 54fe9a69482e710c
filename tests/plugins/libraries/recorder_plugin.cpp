// The recorder: a scriptable test plug-in. It writes every event it receives, with its decoded
// parameters and records, as one line of a log file, answers events by the rules of its script,
// and sends commands to the engine when an event arrives. The script format and the log format
// are described in tests/plugins/README.md.
//
// It is built as "recorder.dll" against plugins/sxplugin.h alone, like any plug-in of an author.
// Each copy loaded from another file is a separate instance with its own script.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plugins/sxplugin.h"

namespace {

// ---- texts

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool Same(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

// A value as the log writes it: texts in double quotes (a quote doubled, bytes below 0x20 as
// <HH>), nil for a nil text.
std::string Quote(const char* text) {
  if (!text) return "nil";
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p == '"') {
      out += "\"\"";
    } else if (*p < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", *p);
      out += hex;
    } else {
      out += static_cast<char>(*p);
    }
  }
  return out + "\"";
}

std::string Hex(std::intptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  char* end = nullptr;
  std::strtoll(text.c_str(), &end, 0);
  return end && *end == '\0';
}

std::intptr_t Number(const std::string& text) {
  return static_cast<std::intptr_t>(std::strtoll(text.c_str(), nullptr, 0));
}

// ---- the script

struct Token {
  std::string text;
  bool quoted = false;
};

struct Condition {
  std::string field, value;
};

struct Rule {
  std::string event;
  std::vector<Condition> conditions;
  std::string action;
  std::vector<Token> args;
};

// One decoded parameter of an event.
struct Field {
  std::string key;
  std::string value;  // as matched by rules and substituted into arguments
  std::string shown;  // as logged
};

struct State {
  std::string dllPath;
  std::string id;
  std::string description;
  std::intptr_t needs = SX_ENGINE_VERSION;
  std::string logPath;  // empty: no log
  std::set<std::string> muted;
  std::vector<Rule> rules;
  std::vector<std::string> scriptErrors;

  int32_t number = 0;
  SxRegisterMessageProc registerMessage = nullptr;
  SxSendCommandProc sendCommand = nullptr;
  SxSendCommandByNameProc sendCommandByName = nullptr;
  std::mutex logMutex;
};

State& Me() {
  static State state;
  return state;
}

// Where a path's folders end: the host's separators.
#ifdef _WIN32
constexpr char kSeparators[] = "/\\";
bool IsAbsolute(const std::string& path) { return (path.size() > 1 && path[1] == ':') || path[0] == '\\' || path[0] == '/'; }
#else
constexpr char kSeparators[] = "/";
bool IsAbsolute(const std::string& path) { return path[0] == '/'; }
#endif

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of(kSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path with its extension (after the last '.' of the file name) replaced.
std::string WithExtension(const std::string& path, const std::string& extension) {
  size_t slash = path.find_last_of(kSeparators);
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + extension;
  return path.substr(0, dot) + extension;
}

std::string BaseName(const std::string& path) {
  std::string name = WithExtension(path, "");
  size_t slash = name.find_last_of(kSeparators);
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::vector<Token> Tokenize(const std::string& line) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    Token token;
    if (line[i] == '"') {
      token.quoted = true;
      ++i;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            token.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token.text += line[i++];
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
        token.text += line[i++];
    }
    tokens.push_back(token);
  }
  return tokens;
}

const std::set<std::string>& Actions() {
  static const std::set<std::string> actions = {
      "reply", "reply-text", "set-folder", "send", "get", "walk",
      "calc", "calc-bool", "actions", "register-message"};
  return actions;
}

void LoadScript(State& me) {
  me.id = BaseName(me.dllPath);
  me.logPath = WithExtension(me.dllPath, ".log");
  std::ifstream in(WithExtension(me.dllPath, ".script"));
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    std::vector<Token> tokens = Tokenize(line);
    if (tokens.empty() || (!tokens[0].quoted && tokens[0].text[0] == '#')) continue;
    const std::string directive = tokens[0].text;
    auto error = [&](const std::string& what) {
      me.scriptErrors.push_back("line " + std::to_string(lineNumber) + ": " + what);
    };
    if (directive == "id" && tokens.size() == 2) {
      me.id = tokens[1].text;
    } else if (directive == "description" && tokens.size() == 2) {
      me.description = tokens[1].text;
    } else if (directive == "needs" && tokens.size() == 2 && IsNumber(tokens[1].text)) {
      me.needs = Number(tokens[1].text);
    } else if (directive == "log" && tokens.size() == 2) {
      const std::string& path = tokens[1].text;
      me.logPath = path == "off" ? "" : IsAbsolute(path) ? path : FolderOf(me.dllPath) + path;
    } else if (directive == "mute" && tokens.size() >= 2) {
      for (size_t i = 1; i < tokens.size(); ++i) me.muted.insert(Upper(tokens[i].text));
    } else if (directive == "on" && tokens.size() >= 3) {
      Rule rule;
      rule.event = tokens[1].text;
      size_t i = 2;
      for (; i < tokens.size() && !Actions().count(tokens[i].text); ++i) {
        size_t equals = tokens[i].text.find('=');
        if (equals == std::string::npos) break;
        rule.conditions.push_back({tokens[i].text.substr(0, equals), tokens[i].text.substr(equals + 1)});
      }
      if (i >= tokens.size() || !Actions().count(tokens[i].text)) {
        error("no action in \"" + line + "\"");
        continue;
      }
      rule.action = tokens[i].text;
      rule.args.assign(tokens.begin() + static_cast<long>(i) + 1, tokens.end());
      me.rules.push_back(rule);
    } else {
      error("cannot read \"" + line + "\"");
    }
  }
}

// ---- the log

void WriteLog(const std::string& text) {
  State& me = Me();
  if (me.logPath.empty()) return;
  std::lock_guard lock(me.logMutex);
  if (FILE* log = std::fopen(me.logPath.c_str(), "a")) {
    std::fprintf(log, "%s %s\n", me.id.c_str(), text.c_str());
    std::fclose(log);
  }
}

// ---- decoding events

void AddNumber(std::vector<Field>& fields, const std::string& key, std::intptr_t value) {
  fields.push_back({key, std::to_string(value), std::to_string(value)});
}

void AddText(std::vector<Field>& fields, const std::string& key, const char* text) {
  fields.push_back({key, text ? text : "nil", Quote(text)});
}

const char* Slot(const void* record, int index) {
  std::intptr_t value;
  std::memcpy(&value, static_cast<const char*>(record) + index * sizeof(std::intptr_t), sizeof value);
  return reinterpret_cast<const char*>(value);
}

std::intptr_t SlotNumber(const void* record, int index) {
  return reinterpret_cast<std::intptr_t>(Slot(record, index));
}

void DecodeFile(std::vector<Field>& fields, const void* record) {
  AddText(fields, "path", Slot(record, 0));
  AddNumber(fields, "size", SlotNumber(record, 1));
  fields.push_back({"time", Hex(SlotNumber(record, 2)), Hex(SlotNumber(record, 2))});
  AddNumber(fields, "attr", SlotNumber(record, 3));
  AddNumber(fields, "action", SlotNumber(record, 4));
}

void DecodeItem(std::vector<Field>& fields, int stage, const void* record) {
  if (!record) {
    AddText(fields, "record", nullptr);
    return;
  }
  switch (stage) {
    case SX_STAGE_FILES:
      return DecodeFile(fields, record);
    case SX_STAGE_REGISTRY:
      AddText(fields, "key", Slot(record, 0));
      AddText(fields, "name", Slot(record, 1));
      AddText(fields, "value", Slot(record, 2));
      AddNumber(fields, "type", SlotNumber(record, 3));
      AddNumber(fields, "action", SlotNumber(record, 4));
      return;
    case SX_STAGE_INI:
      AddText(fields, "file", Slot(record, 0));
      AddText(fields, "section", Slot(record, 1));
      AddText(fields, "key", Slot(record, 2));
      AddText(fields, "value", Slot(record, 3));
      AddNumber(fields, "action", SlotNumber(record, 4));
      return;
    case SX_STAGE_SHORTCUTS:
      AddText(fields, "name", Slot(record, 0));
      AddText(fields, "cmdline", Slot(record, 1));
      AddText(fields, "args", Slot(record, 2));
      AddText(fields, "workdir", Slot(record, 3));
      AddNumber(fields, "show", SlotNumber(record, 4));
      AddText(fields, "iconfile", Slot(record, 5));
      AddNumber(fields, "icon", SlotNumber(record, 6));
      AddNumber(fields, "hotkey", SlotNumber(record, 7));
      AddText(fields, "description", Slot(record, 8));
      AddNumber(fields, "action", SlotNumber(record, 9));
      return;
    case SX_STAGE_SERVERS:
    case SX_STAGE_FONTS:
      AddText(fields, "path", Slot(record, 0));
      return;
    case SX_STAGE_RUNAPPS:
      AddText(fields, "cmdline", Slot(record, 0));
      AddText(fields, "args", Slot(record, 1));
      AddText(fields, "workdir", Slot(record, 2));
      AddNumber(fields, "show", SlotNumber(record, 3));
      AddText(fields, "msg", Slot(record, 4));
      AddNumber(fields, "when", SlotNumber(record, 5));
      return;
    default:
      AddNumber(fields, "record", SlotNumber(record, 0));
  }
}

std::vector<Field> Decode(int32_t number, const char* name, std::intptr_t p1, std::intptr_t p2) {
  std::vector<Field> fields;
  const char* text1 = reinterpret_cast<const char*>(p1);
  switch (number) {
    case EV_SETSTARTUPINFO: {
      const auto* info = reinterpret_cast<const SxStartupInfo*>(p1);
      fields.push_back({"mark", Hex(info->InterfaceMark), Hex(info->InterfaceMark)});
      fields.push_back({"version", Hex(info->EngineVersion), Hex(info->EngineVersion)});
      AddNumber(fields, "number", info->PluginNumber);
      AddText(fields, "config", info->ConfigFile);
      break;
    }
    case EV_LOAD: case EV_UNLOAD: case EV_START: case EV_BEFOREINSTALL: case EV_AFTERINSTALL:
    case EV_CHECKLAUNCHCONDITIONS: case EV_QUERYREBOOT: case EV_ABORTINSTALL:
      break;
    case EV_FINISH:
      AddNumber(fields, "success", p1);
      break;
    case EV_SHOWDIALOGS:
      AddNumber(fields, "after", p1);
      break;
    case EV_LANGUAGECHANGED:
      AddText(fields, "lang", text1);
      break;
    case EV_BEFOREPROCESSITEMS:
    case EV_AFTERPROCESSITEMS:
      AddNumber(fields, "stage", SX_STAGE_OF(p1));
      break;
    case EV_BEFOREPROCESSITEM:
    case EV_AFTERPROCESSITEM:
      AddNumber(fields, "stage", SX_STAGE_OF(p1));
      DecodeItem(fields, SX_STAGE_OF(p1), reinterpret_cast<const void*>(p2));
      break;
    case EV_PROCESSITEM:
      AddNumber(fields, "skipped", p1 & 0xFFFF);
      DecodeItem(fields, SX_STAGE_FILES, reinterpret_cast<const void*>(p2));
      break;
    case EV_FILEINSTALLPROGRESS:
      AddNumber(fields, "file", p1);
      AddNumber(fields, "total", p2);
      break;
    case EV_FEATURESTATECHANGED:
      AddText(fields, "id", text1);
      AddNumber(fields, "state", p2);
      break;
    case EV_INSTALLTYPECHANGED:
      AddText(fields, "id", text1);
      break;
    case EV_VERSIONCONFLICT:
      AddText(fields, "path", text1);
      break;
    case EV_GETPACKAGE:
      AddText(fields, "name", text1);
      AddText(fields, "folder", reinterpret_cast<const char*>(p2));
      break;
    case EV_CALCFUNCTION: {
      const auto* call = reinterpret_cast<const SxFunctionCall*>(p1);
      AddNumber(fields, "id", call->ID);
      AddText(fields, "name", call->Name);
      AddNumber(fields, "count", call->ArgCount);
      AddNumber(fields, "context", call->Context);
      // 1 when the texts lie where the record says: the name right after the table, the
      // arguments right after the name, one more NUL after the last argument (an empty list is
      // two NULs).
      const char* arg = call->Args;
      for (std::intptr_t i = 0; i < call->ArgCount; ++i) arg += std::strlen(arg) + 1;
      const bool packed = call->Name == reinterpret_cast<const char*>(call + 1) &&
                          call->Args == call->Name + std::strlen(call->Name) + 1 && *arg == '\0' &&
                          (call->ArgCount > 0 || arg[1] == '\0');
      AddNumber(fields, "layout", packed ? 1 : 0);
      arg = call->Args;
      for (std::intptr_t i = 0; i < call->ArgCount; ++i) {
        AddText(fields, "arg" + std::to_string(i + 1), arg);
        arg += std::strlen(arg) + 1;
      }
      break;
    }
    default:
      if (Same(name, SX_MSG_SHOWSTATUSTEXT)) {
        AddText(fields, "text", text1);
        AddNumber(fields, "time", p2);
      } else {
        AddNumber(fields, "p1", p1);
        AddNumber(fields, "p2", p2);
      }
  }
  return fields;
}

// ---- acting

// The argument with ${key} replaced by the value of the event's field `key`.
std::string Substitute(const std::string& text, const std::vector<Field>& fields) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t close;
    if (text.compare(i, 2, "${") == 0 && (close = text.find('}', i)) != std::string::npos) {
      const std::string key = text.substr(i + 2, close - i - 2);
      bool found = false;
      for (const Field& field : fields)
        if (Same(field.key, key)) {
          out += field.value;
          found = true;
          break;
        }
      if (key == "self") out += std::to_string(Me().number), found = true;
      if (!found) out += text.substr(i, close - i + 1);
      i = close;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::intptr_t Command(const std::string& command, std::intptr_t p1, std::intptr_t p2, bool all) {
  State& me = Me();
  if (!me.sendCommand) return 0;
  if (IsNumber(command))
    return me.sendCommand(me.number, static_cast<int32_t>(Number(command)), p1, p2, all);
  return me.sendCommandByName(me.number, command.c_str(), p1, p2, all);
}

// Arguments of a command: "text" is a pointer to the text, nil is 0, a bare number is the
// number, any other bare word is a pointer to the word. The texts live in `keep`.
std::intptr_t Argument(const Token& token, std::deque<std::string>& keep) {
  if (!token.quoted && token.text == "nil") return 0;
  if (!token.quoted && IsNumber(token.text)) return Number(token.text);
  return reinterpret_cast<std::intptr_t>(keep.emplace_back(token.text).c_str());
}

std::string ArgumentShown(const Token& token) {
  if (!token.quoted && (token.text == "nil" || IsNumber(token.text))) return token.text;
  return Quote(token.text.c_str());
}

std::string TakeResultText(std::intptr_t reply) {
  if (!reply) return "nil";
  std::string shown = Quote(reinterpret_cast<const char*>(reply));
  Command("CM_FREEMEM", reply, 0, false);
  return shown;
}

void Walk(const std::string& what) {
  const bool languages = what == "languages", features = what == "features";
  const char* command = languages ? "CM_GETLANGUAGE" : features ? "CM_GETFEATURE" : "CM_GETINSTALLTYPE";
  const char* kind = languages ? "language" : features ? "feature" : "installtype";
  std::string id;
  bool first = true;
  for (int guard = 0; guard < 1000; ++guard) {
    std::intptr_t key = first ? 0 : reinterpret_cast<std::intptr_t>(id.c_str());
    std::intptr_t size = Command(command, key, 0, false);
    if (size <= 0) {
      WriteLog(std::string("walk ") + kind + " " + (first ? "nil" : Quote(id.c_str())) + " -> " +
               std::to_string(size));
      return;
    }
    std::vector<std::intptr_t> buffer(static_cast<size_t>(size) / sizeof(std::intptr_t) + 1);
    std::intptr_t rc = Command(command, key, reinterpret_cast<std::intptr_t>(buffer.data()), false);
    const void* record = buffer.data();
    std::string line = std::string(kind) + " size=" + std::to_string(size) + " rc=" + std::to_string(rc);
    const char* next = nullptr;
    if (languages) {
      line += " id=" + Quote(Slot(record, 0)) + " name=" + Quote(Slot(record, 1)) +
              " next=" + Quote(Slot(record, 2));
      next = Slot(record, 2);
    } else if (features) {
      line += " id=" + Quote(Slot(record, 0)) + " name=" + Quote(Slot(record, 1)) +
              " description=" + Quote(Slot(record, 2)) +
              " required=" + std::to_string(SlotNumber(record, 3)) +
              " parent=" + Quote(Slot(record, 4)) + " next=" + Quote(Slot(record, 5));
      next = Slot(record, 5);
    } else {
      line += " id=" + Quote(Slot(record, 0)) + " name=" + Quote(Slot(record, 1)) +
              " description=" + Quote(Slot(record, 2)) +
              " custom=" + std::to_string(SlotNumber(record, 3)) + " next=" + Quote(Slot(record, 4));
      next = Slot(record, 4);
    }
    WriteLog(line);
    if (!next) return;
    id = next;
    first = false;
  }
}

void Get(const std::vector<Token>& args) {
  if (args.empty()) return;
  const std::string& command = args[0].text;
  std::deque<std::string> keep;
  std::string shown = "get " + command;
  std::intptr_t p1 = 0;
  bool bufferFirst = command == "CM_GETPCGROUPNAMES" || command == "CM_GETPCCUSTOMCONFIG";
  SxParamRequest request{};
  if (command == "CM_GETPCPARAM") {
    const char** fields[] = {&request.Group, &request.Name, &request.Default};
    for (size_t i = 0; i < 3; ++i) {
      *fields[i] = i + 1 < args.size() ? keep.emplace_back(args[i + 1].text).c_str() : "";
      shown += " " + Quote(*fields[i]);
    }
    p1 = reinterpret_cast<std::intptr_t>(&request);
  } else if (!bufferFirst && args.size() > 1) {
    p1 = Argument(args[1], keep);
    shown += " " + ArgumentShown(args[1]);
  }
  std::intptr_t size = bufferFirst ? Command(command, 0, 0, false) : Command(command, p1, 0, false);
  if (size <= 0) {
    WriteLog(shown + " -> " + std::to_string(size));
    return;
  }
  std::vector<char> buffer(static_cast<size_t>(size), '\x7F');
  std::intptr_t bufferParam = reinterpret_cast<std::intptr_t>(buffer.data());
  std::intptr_t rc = bufferFirst ? Command(command, bufferParam, 0, false)
                                 : Command(command, p1, bufferParam, false);
  std::string text(buffer.data(), strnlen(buffer.data(), buffer.size()));
  WriteLog(shown + " -> size=" + std::to_string(size) + " rc=" + std::to_string(rc) + " " +
           Quote(text.c_str()));
}

// Runs the rules that match the event, in script order; the first "reply" or "reply-text" that
// runs gives the reply.
std::intptr_t Act(int32_t number, const char* name, std::intptr_t p2, const std::vector<Field>& fields) {
  State& me = Me();
  std::intptr_t reply = 0;
  bool replied = false;
  for (const Rule& rule : me.rules) {
    if (!Same(rule.event, name)) continue;
    bool matches = true;
    for (const Condition& condition : rule.conditions) {
      bool found = false;
      for (const Field& field : fields)
        if (Same(field.key, condition.field)) {
          found = Same(field.value, Substitute(condition.value, fields));
          break;
        }
      matches = matches && found;
    }
    if (!matches) continue;
    std::vector<Token> args = rule.args;
    for (Token& arg : args) arg.text = Substitute(arg.text, fields);
    const std::string arg0 = args.empty() ? "" : args[0].text;
    if (rule.action == "reply" && !replied) {
      reply = Number(arg0);
      replied = true;
    } else if (rule.action == "reply-text" && !replied) {
      std::intptr_t block = Command("CM_ALLOCMEM", static_cast<std::intptr_t>(arg0.size() + 1), 0, false);
      if (block) std::memcpy(reinterpret_cast<char*>(block), arg0.c_str(), arg0.size() + 1);
      reply = block;
      replied = true;
    } else if (rule.action == "set-folder" && number == EV_GETPACKAGE && p2) {
      char* folder = reinterpret_cast<char*>(p2);
      std::snprintf(folder, SX_PACKAGE_FOLDER_SIZE, "%s", arg0.c_str());
    } else if (rule.action == "send" && !args.empty()) {
      std::deque<std::string> keep;
      bool all = args.size() > 1 && !args.back().quoted && args.back().text == "all";
      size_t count = args.size() - (all ? 1 : 0);
      std::intptr_t p[2] = {0, 0};
      std::string shown = "send " + arg0;
      for (size_t i = 1; i < count && i < 3; ++i) {
        p[i - 1] = Argument(args[i], keep);
        shown += " " + ArgumentShown(args[i]);
      }
      if (all) shown += " all";
      WriteLog(shown + " -> " + std::to_string(Command(arg0, p[0], p[1], all)));
    } else if (rule.action == "get") {
      Get(args);
    } else if (rule.action == "walk") {
      Walk(arg0);
    } else if (rule.action == "calc" || rule.action == "calc-bool" || rule.action == "actions") {
      std::intptr_t context = args.size() > 1 ? Number(args[1].text) : 0;
      const char* command = rule.action == "calc" ? "CM_CALCEXPRESSION"
                            : rule.action == "actions" ? "CM_CALCACTIONS" : "CM_CALCBOOLEXPRESSION";
      std::intptr_t result = Command(command, reinterpret_cast<std::intptr_t>(arg0.c_str()), context, false);
      WriteLog(rule.action + " " + Quote(arg0.c_str()) + " -> " +
               (rule.action == "calc-bool" ? std::to_string(result) : TakeResultText(result)));
    } else if (rule.action == "register-message" && me.registerMessage) {
      WriteLog("register-message " + Quote(arg0.c_str()) + " -> " +
               std::to_string(me.registerMessage(me.number, arg0.c_str())));
    }
  }
  return reply;
}

std::intptr_t SX_STDCALL HandleEvent(int32_t number, const char* name, std::intptr_t p1, std::intptr_t p2) {
  State& me = Me();
  if (number == EV_SETSTARTUPINFO && p1) {
    const auto* info = reinterpret_cast<const SxStartupInfo*>(p1);
    me.number = static_cast<int32_t>(info->PluginNumber);
    me.registerMessage = info->RegisterMessage;
    me.sendCommand = info->SendCommand;
    me.sendCommandByName = info->SendCommandByName;
  }
  const std::vector<Field> fields = Decode(number, name ? name : "", p1, p2);
  if (!me.muted.count(Upper(name ? name : ""))) {
    std::string line = name ? name : "?";
    for (const Field& field : fields) line += " " + field.key + "=" + field.shown;
    WriteLog(line);
  }
  return Act(number, name ? name : "", p2, fields);
}

// The path of this plug-in file (the script and the log are named after it).
std::string OwnPath() {
#ifdef _WIN32
  HMODULE self = nullptr;
  char path[MAX_PATH] = {};
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<const char*>(&OwnPath), &self))
    return std::string(path, GetModuleFileNameA(self, path, MAX_PATH));
  return {};
#else
  Dl_info self;
  return dladdr(reinterpret_cast<void*>(&OwnPath), &self) && self.dli_fname ? self.dli_fname : "";
#endif
}

}  // namespace

extern "C" SX_PLUGIN_EXPORT void SX_STDCALL GetPluginInfo(SxPluginInfo* info) {
  State& me = Me();
  me.dllPath = OwnPath();
  me.rules.clear();
  me.muted.clear();
  me.scriptErrors.clear();
  LoadScript(me);
  WriteLog("GetPluginInfo mark=" + Hex(info->InterfaceMark));
  for (const std::string& error : me.scriptErrors) WriteLog("script-error " + error);
  info->RequiredVersion = me.needs;
  std::snprintf(info->ID, sizeof info->ID, "%s", me.id.c_str());
  std::snprintf(info->Description, sizeof info->Description, "%s",
                me.description.empty() ? "recorder" : me.description.c_str());
  info->EventHandler = HandleEvent;
}
