// sxbuild: turns a project folder into a setup program and its ".sxp" packages.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "host/posix/codepage.h"
#include "packages/package_trailer.h"
#include "tools/sxbuild/builder.h"
#include "tools/sxbuild/engine_image.h"
#include "tools/sxbuild/local_files.h"
#include "xml/xml_settings.h"

namespace {

using sx::build::BuildError;
using sx::build::BuildOptions;

constexpr char kHelp[] =
    "usage: sxbuild [options] PROJECT_FOLDER\n"
    "Builds the setup program and the packages of the project in PROJECT_FOLDER (project.xml,\n"
    "payload/, packages/, plugins/; see \"Building a setup\" in README.md).\n"
    "\n"
    "  -o, --output FOLDER      where the outputs go (default: PROJECT_FOLDER/output)\n"
    "  --target SYSTEM          host (default) or windows: the system the setup runs on;\n"
    "                           windows takes sxengine.exe, Uninstall.exe and sxwizard.dll\n"
    "                           from beside sxbuild, or else from the Windows build\n"
    "  --engine FILE            the engine program that heads the setup program\n"
    "                           (default: sxengine beside sxbuild); a Windows engine brings\n"
    "                           Uninstall.exe and sxwizard.dll from its folder when they are there\n"
    "  --uninstaller FILE       the uninstaller packed as Uninstall.exe when the project sets\n"
    "                           Uninstall and its main package brings none (default:\n"
    "                           Uninstall.exe beside sxbuild, when there is one)\n"
    "  --compression KIND       mszip (default) or none\n"
    "  --level N                MSZIP level, 1 (fastest) to 9 (smallest); default 6\n"
    "  --max-cabinet-size SIZE  largest cabinet in bytes (suffix K, M or G for 1024-based\n"
    "                           units; at least 32K); a larger package spans cabinet files\n"
    "                           <name>-2.cab, <name>-3.cab, ... beside it\n"
    "  --scramble               scramble every package (package flag 1)\n"
    "  --no-window              no preparing window for any package (flag 2)\n"
    "  --quiet                  prepare every package quietly: no window, no splash (flag 4)\n"
    "  --splash-time SECONDS    the splash stays at least this long (appended to splash.bmp)\n"
    "  --splash-opacity PERCENT the splash's opacity, 1 to 100 (appended to splash.bmp)\n"
    "  --password TEXT          the installation password: sets PswCheckHash and enciphers\n"
    "                           the package data\n"
    "  --password-file FILE     the same, from the first line of FILE\n"
    "  --codepage N             the ANSI code page of the setup's names (default 1252)\n"
    "  -h, --help               this text\n"
    "\n"
    "Exit status: 0 built, 1 the build failed (nothing was written), 2 bad usage.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "sxbuild: %s\n%s", problem.c_str(), kHelp);
  return 2;
}

bool ParseSize(const std::string& text, uint64_t& size) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str()) return false;
  uint64_t unit = 1;
  const std::string suffix = end;
  if (suffix == "K" || suffix == "k") {
    unit = 1024;
  } else if (suffix == "M" || suffix == "m") {
    unit = 1024 * 1024;
  } else if (suffix == "G" || suffix == "g") {
    unit = 1024ull * 1024 * 1024;
  } else if (!suffix.empty()) {
    return false;
  }
  if (value > UINT64_MAX / unit) return false;
  size = value * unit;
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? "." : cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

// Where --target windows finds the Windows programs: beside sxbuild (a Windows sxbuild, or a
// folder the Windows programs were copied into), else in the Windows build of this tree.
std::string WindowsProgramsFolder() {
  std::vector<std::string> candidates = {sx::build::ExecutableFolder()};
#ifdef SX_WINDOWS_PROGRAMS_DIR
  candidates.push_back(SX_WINDOWS_PROGRAMS_DIR);
#endif
  for (const std::string& folder : candidates)
    if (sx::build::LocalFileFacts(folder + "/sxengine.exe")) return folder;
  std::string looked;
  for (const std::string& folder : candidates) looked += (looked.empty() ? "" : ", ") + ("\"" + folder + "\"");
  throw BuildError("--target windows: no sxengine.exe in " + looked +
                   "; build the Windows programs (scripts/build-windows.sh) or name the engine with --engine");
}

int64_t BuildTime() {
  // Reproducible builds give the date of the generated files this way.
  if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH")) {
    char* end = nullptr;
    const long long value = std::strtoll(fixed, &end, 10);
    if (end != fixed && *end == '\0' && value >= 0) return value;
  }
  return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace

int main(int argc, char** argv) {
  using sx::build::ExecutableFolder;
  const std::vector<std::string> args = sx::build::ProgramArguments(argc, argv);
  BuildOptions options;
  std::string target = "host";
  std::string passwordFile;
  bool hasPassword = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    std::string text;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "-o" || arg == "--output") {
      if (!value(options.outputFolder)) return Usage(arg + " needs a folder");
    } else if (arg == "--target") {
      if (!value(target) || (target != "host" && target != "windows")) return Usage("--target needs host or windows");
    } else if (arg == "--engine") {
      if (!value(options.engineImage)) return Usage(arg + " needs a file");
    } else if (arg == "--uninstaller") {
      if (!value(options.uninstaller)) return Usage(arg + " needs a file");
    } else if (arg == "--compression") {
      if (!value(text)) return Usage(arg + " needs mszip or none");
      if (text == "mszip") {
        options.compression = sx::CabCompression::kMszip;
      } else if (text == "none") {
        options.compression = sx::CabCompression::kNone;
      } else {
        return Usage("unknown compression \"" + text + "\" (mszip or none)");
      }
    } else if (arg == "--level") {
      if (!value(text) || text.size() != 1 || text[0] < '1' || text[0] > '9')
        return Usage("--level needs a number from 1 to 9");
      options.level = text[0] - '0';
    } else if (arg == "--max-cabinet-size") {
      if (!value(text) || !ParseSize(text, options.maxCabinetSize))
        return Usage("--max-cabinet-size needs a size such as 1440K or 650M");
      if (options.maxCabinetSize < sx::kMinCabinetSize || options.maxCabinetSize > 0xFFFFFFFFull)
        return Usage("--max-cabinet-size must be from 32K to below 4G");
    } else if (arg == "--scramble") {
      options.extraFlags |= sx::kPackageScrambled;
    } else if (arg == "--no-window") {
      options.extraFlags |= sx::kPackageNoWindow;
    } else if (arg == "--quiet") {
      options.extraFlags |= sx::kPackageQuiet;
    } else if (arg == "--splash-time" || arg == "--splash-opacity") {
      const bool time = arg == "--splash-time";
      if (!value(text) || text.empty() || text.size() > 5 ||
          text.find_first_not_of("0123456789") != std::string::npos)
        return Usage(arg + (time ? " needs a number of seconds" : " needs a percentage from 1 to 100"));
      const uint32_t number = static_cast<uint32_t>(std::stoul(text));
      if (!time && (number < 1 || number > 100)) return Usage(arg + " needs a percentage from 1 to 100");
      (time ? options.splashSeconds : options.splashOpacity) = number;
    } else if (arg == "--password") {
      std::string password;
      if (!value(password)) return Usage(arg + " needs the password");
      options.password = password;
      hasPassword = true;
    } else if (arg == "--password-file") {
      if (!value(passwordFile)) return Usage(arg + " needs a file");
    } else if (arg == "--codepage") {
      if (!value(text) || text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
          text.size() > 5)
        return Usage("--codepage needs a code page number such as 1252");
      options.codePage = static_cast<uint32_t>(std::stoul(text));
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (options.projectFolder.empty()) {
      options.projectFolder = arg;
    } else {
      return Usage("only one project folder, please (\"" + arg + "\")");
    }
  }
  if (options.projectFolder.empty()) return Usage("no project folder given");
  if (hasPassword && !passwordFile.empty()) return Usage("--password and --password-file exclude each other");
  if (sx::host::CodePage(options.codePage).Number() != options.codePage)
    return Usage("code page " + std::to_string(options.codePage) + " is not known here");
  if (options.outputFolder.empty()) options.outputFolder = options.projectFolder + "/output";
  options.buildTime = BuildTime();
  // Attribute values keep their blanks, as the engine reads them.
  sx::XMLSettings().PreserveAttributeWhitespace = true;

  sx::build::InstallInterruptHandlers();
  try {
    // The engine, the uninstaller and the wizard come from one folder, so that they are built
    // for the same system.
    std::string programs = ExecutableFolder();
    if (!options.engineImage.empty()) {
      // A Windows engine named with --engine brings its companions when they are beside it.
      const bool windowsEngine = target == "windows" || (sx::build::LocalFileFacts(options.engineImage) &&
                                                         sx::build::ImageFormatOf(options.engineImage) ==
                                                             sx::build::ImageFormat::kPe);
      if (windowsEngine && sx::build::LocalFileFacts(FolderOf(options.engineImage) + "/sxwizard.dll"))
        programs = FolderOf(options.engineImage);
      else if (target == "windows")
        programs = WindowsProgramsFolder();
    } else if (target == "windows") {
      programs = WindowsProgramsFolder();
      options.engineImage = programs + "/sxengine.exe";
    } else {
      options.engineImage = programs + "/" + sx::build::kEngineFileName;
    }
    if (options.uninstaller.empty() && sx::build::LocalFileFacts(programs + "/Uninstall.exe"))
      options.uninstaller = programs + "/Uninstall.exe";
    options.wizardPlugin = programs + "/sxwizard.dll";
    if (!passwordFile.empty()) {
      std::string password = sx::build::ReadLocalFile(passwordFile);
      password = password.substr(0, password.find_first_of("\r\n"));
      options.password = password;
    }
    sx::build::Build(options, stdout, stderr);
  } catch (const BuildError& e) {
    std::fprintf(stderr, "sxbuild: error: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sxbuild: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
