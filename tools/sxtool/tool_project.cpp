#include "tools/sxtool/tool_project.h"

#include <cstdio>
#include <optional>

#include "database/sx_condition_object.h"
#include "database/sx_system_variables.h"
#include "expr/database_services.h"
#include "platform/ini_cache.h"
#include "tools/sxtool/local_files.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"

namespace sx::tool {

// Requests that need a running installation (AbortInstall, SetLanguage, ...) are reported on
// standard error; none is running.
class ToolProject::Services : public TDatabaseServices {
 public:
  Services(TsxMainDatabase& database, const std::string& command)
      : TDatabaseServices(database), command_(command) {}

 protected:
  void Unavailable(std::string_view request) override {
    std::fprintf(stderr, "sxtool %s: %.*s: no installation is running\n", command_.c_str(),
                 static_cast<int>(request.size()), request.data());
  }

 private:
  const std::string& command_;
};

ToolProject::ToolProject(std::string command)
    : command_(std::move(command)),
      services_(std::make_unique<Services>(database_, command_)),
      evaluator_(std::make_unique<TsxEvaluator>(*services_)),
      savedConditionsEnabled_(ConditionsEnabled) {
  InstallEvaluatorHooks(evaluator_.get());
  ConditionsEnabled = true;
  SetIniStripQuotes(false);  // as the engine's main flow reads INI files
}

ToolProject::~ToolProject() {
  InstallEvaluatorHooks(nullptr);
  ConditionsEnabled = savedConditionsEnabled_;
}

bool ToolProject::Open(const std::string& path) {
  if (!path.empty()) {
    std::string problem;
    const std::optional<std::string> text = ReadLocalFile(path, &problem);
    if (!text) {
      std::fprintf(stderr, "sxtool %s: %s\n", command_.c_str(), CannotReadMessage(path, problem).c_str());
      return false;
    }
    TXMLSettingsScope settings;
    settings->PreserveAttributeWhitespace = true;  // as the engine reads every document
    try {
      TXMLTag root;
      root.Parse(*text);
      if (root.Name() != "sx2project") {
        std::fprintf(stderr, "sxtool %s: %s: the root element is <%s>, not <sx2project>\n",
                     command_.c_str(), path.c_str(), root.Name().c_str());
        return false;
      }
      database_.Assign(root);
    } catch (const TXMLParserError& e) {
      std::fprintf(stderr, "sxtool %s: %s: %s\n", command_.c_str(), path.c_str(), e.what());
      return false;
    }
  }
  DefineSystemVariables(&database_);
  ImportEnvironment(&database_);
  return true;
}

}  // namespace sx::tool
