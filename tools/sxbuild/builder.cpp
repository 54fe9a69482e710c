#include "tools/sxbuild/builder.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "tools/sxbuild/engine_image.h"
#include "tools/sxbuild/local_files.h"
#include "tools/sxbuild/package_writer.h"

namespace sx::build {
namespace {

namespace fs = std::filesystem;

std::string Grouped(uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// True when `inner` is `outer` or lies below it (both made absolute and normal first).
bool IsWithin(const fs::path& inner, const fs::path& outer) {
  std::error_code error;
  const fs::path a = fs::weakly_canonical(fs::absolute(inner, error), error);
  const fs::path b = fs::weakly_canonical(fs::absolute(outer, error), error);
  auto i = a.begin(), j = b.begin();
  for (; j != b.end() && !j->empty(); ++i, ++j)
    if (i == a.end() || *i != *j) return false;
  return true;
}

void PrepareOutputFolder(const BuildOptions& options) {
  for (const char* source : {"payload", "packages", "plugins"}) {
    if (IsWithin(options.outputFolder, fs::path(options.projectFolder) / source))
      throw BuildError("the output folder \"" + options.outputFolder + "\" lies inside the project's " +
                       source + "/ folder, which the build reads");
  }
  std::error_code error;
  fs::create_directories(options.outputFolder, error);
  if (error)
    throw BuildError("cannot create the output folder \"" + options.outputFolder + "\": " + error.message());
  if (!IsLocalFolder(options.outputFolder))
    throw BuildError("the output folder \"" + options.outputFolder + "\" does not exist");
  CheckFolderWritable(options.outputFolder);
}

// Cabinets of an earlier, larger build of the same package would look like part of the new set.
void RemoveStaleCabinets(const PlannedPackage& package, size_t written, const std::string& folder, std::FILE* out) {
  for (int n = static_cast<int>(written);; ++n) {
    const std::string path = folder + "/" + package.CabinetName(n);
    if (!RemoveLocalFile(path)) break;
    std::fprintf(out, "  removed %s (left from an earlier build)\n", package.CabinetName(n).c_str());
  }
}

}  // namespace

void Build(const BuildOptions& options, std::FILE* out, std::FILE* err) {
  const BuildPlan plan = PlanBuild(options);
  for (const std::string& warning : plan.warnings) std::fprintf(err, "sxbuild: warning: %s\n", warning.c_str());
  const uint64_t engineSize = CheckEngineImage(options.engineImage);  // before anything is written
  for (const PlannedPackage& package : plan.packages) {
    for (const auto* files : {&package.presetup, &package.data}) {
      for (const PlannedFile& file : *files) {
        if (file.source.empty()) continue;
        if (file.source == options.uninstaller) CheckSameSystem(options.engineImage, file.source, "the uninstaller");
        if (file.source == options.wizardPlugin) CheckSameSystem(options.engineImage, file.source, "the terminal wizard");
      }
    }
  }
  PrepareOutputFolder(options);
  for (const std::string& name : RemoveStaleTemporaryOutputs(options.outputFolder))
    std::fprintf(out, "  removed %s (left by a build that was killed)\n", name.c_str());

  OutputSet outputs(options.outputFolder);
  std::vector<PackageReport> reports;
  for (const PlannedPackage& package : plan.packages)
    reports.push_back(WritePackage(package, options, plan.key, outputs));
  outputs.Commit();

  std::fprintf(out, "sxbuild: %zu package(s) written to \"%s\"\n", plan.packages.size(), options.outputFolder.c_str());
  std::fprintf(out, "  engine image     %s bytes (%s)\n", Grouped(engineSize).c_str(), options.engineImage.c_str());
  for (size_t i = 0; i < plan.packages.size(); ++i) {
    const PlannedPackage& package = plan.packages[i];
    const PackageReport& report = reports[i];
    std::string cabinets = std::to_string(report.files.size()) + (report.files.size() == 1 ? " cabinet" : " cabinets");
    std::fprintf(out,
                 "  %-16s %s bytes; %s, %zu files, presetup %s bytes, data %s bytes, packed %s bytes, flags %u%s\n",
                 package.outputName.c_str(), Grouped(report.packageFileSize).c_str(), cabinets.c_str(),
                 package.presetup.size() + package.data.size(), Grouped(package.presetupSize).c_str(),
                 Grouped(package.dataSize).c_str(), Grouped(report.cabinets.compressed).c_str(), package.flags,
                 plan.key ? ", enciphered" : "");
    for (size_t n = 1; n < report.files.size(); ++n)
      std::fprintf(out, "  %-16s %s bytes\n", report.files[n].c_str(), Grouped(report.cabinets.cabinetSizes[n]).c_str());
    RemoveStaleCabinets(package, report.files.size(), options.outputFolder, out);
  }
}

}  // namespace sx::build
