// What a build makes, decided before anything is written: the project folder read and checked,
// every package with its archive entries in order, its generated databases and its sizes.
//
// The project folder (README.md, "Building a setup"):
//   project.xml                the project in the database's own vocabulary, root <sx2project>
//   payload/<component ID>/    the installable files of each component; a file item's src is
//                              its path below this folder
//   packages/<package ID>/     files a package carries for its preparation (outside "data\"):
//                              lng\*.lng, Uninstall.exe, splash and preparing-window pictures
//   plugins/<plug-in ID>/      a plug-in's DLL and its files, packed as plugins\<n>\ of every
//                              package whose plug-in list names it at position n
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "packages/cab_writer.h"
#include "packages/haval.h"

namespace sx::build {

struct BuildOptions {
  std::string projectFolder;
  std::string outputFolder;  // created when missing
  std::string engineImage;   // the engine program that heads the setup program
  // The uninstaller packed into the main package of a project that sets Uninstall and brings
  // none of its own; empty: none is packed.
  std::string uninstaller;
  std::string wizardPlugin;  // the terminal wizard's DLL, for projects that name no user interface
  CabCompression compression = CabCompression::kMszip;
  int level = 6;                  // zlib level of MSZIP blocks
  uint64_t maxCabinetSize = 0;    // 0: every package in one cabinet
  uint32_t extraFlags = 0;        // package flags set on every package
  // The main package's splash: minimum display time (seconds) and opacity (percent), appended
  // to splash.bmp as 8 bytes when given.
  std::optional<uint32_t> splashSeconds, splashOpacity;
  std::optional<std::string> password;
  uint32_t codePage = 1252;       // the ANSI code page of names and of a UTF-8 project file
  int64_t buildTime = 0;          // date of the generated files (seconds since 1970)
};

// One entry of an archive: a file of the project folder or generated content.
struct PlannedFile {
  std::string name;     // in the archive (8-bit text, backslashes)
  std::string source;   // path of the file on this computer; empty for generated content
  std::string content;  // generated content
  uint64_t size = 0;
  uint32_t dosDateTime = 0;
  uint16_t attributes = 0x20;
};

struct PlannedPackage {
  std::string id;
  bool main = false;
  std::string fileName;    // without extension, as the engine names packages
  std::string outputName;  // "<fileName>.exe" for the main package, else "<fileName>.sxp"
  uint32_t flags = 0;      // trailer flags (package_trailer.h)
  std::vector<PlannedFile> presetup;  // everything outside "data\", in archive order
  std::vector<PlannedFile> data;      // "data\<component ID>\<path>", in archive order
  uint64_t presetupSize = 0;
  uint64_t dataSize = 0;

  // The file of cabinet `n` (from 0) of the package: the package file, then
  // "<fileName>-<n+1>.cab".
  std::string CabinetName(int n) const;
};

struct BuildPlan {
  std::vector<PlannedPackage> packages;  // the main package first
  std::vector<std::string> warnings;
  std::optional<HavalDigest> key;        // enciphers package data
};

// Reads and checks the project folder. Throws BuildError, naming the file, for anything that
// would make a setup the engine cannot use.
BuildPlan PlanBuild(const BuildOptions& options);

// True when `name` is a usable Windows file name (no path, no reserved device name).
bool IsWindowsFileName(std::string_view name);

// True when the engine takes the package entry "data\<component>\<rest>" for a file item with
// this `src`: names without extension get a "." on both sides; with wildcards in the file-name
// part of `src` the entry's name must match them and its folder begin with the folder of `src`;
// otherwise both are equal. Letter case is ignored.
bool SourceMatchesEntry(std::string_view src, std::string_view rest);

}  // namespace sx::build
