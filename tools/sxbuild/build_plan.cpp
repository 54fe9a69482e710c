#include "tools/sxbuild/build_plan.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "database/sx_classes.h"
#include "host/posix/codepage.h"
#include "packages/password.h"
#include "packages/pdb_file.h"
#include "platform/pe_version.h"
#include "packages/unpack_api.h"
#include "tools/common/project_text.h"
#include "tools/sxbuild/local_files.h"
#include "tools/sxbuild/terminal_wizard.h"
#include "tools/sxbuild/variable_references.h"
#include "util/case_tables.h"
#include "util/wildcard.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_tag.h"

namespace sx::build {
namespace {

constexpr char kProjectFile[] = "project.xml";
constexpr char kPayloadFolder[] = "payload";
constexpr char kPackagesFolder[] = "packages";
constexpr char kPluginsFolder[] = "plugins";
constexpr char kImplicitMainId[] = "main";
constexpr char kDefaultSetupName[] = "setup";
constexpr uint64_t kMaxPackageBytes = 0x7FFFFFFF;  // the engine keeps the sizes in 32-bit integers
constexpr uint16_t kArchive = 0x20;
constexpr uint16_t kReadOnly = 0x01;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(UpperTable[static_cast<unsigned char>(c)]);
  return out;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string FileNamePart(std::string_view path) {
  const size_t cut = path.find_last_of('\\');
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// A name without extension gets a "." at its end (the engine's rule for comparing sources).
std::string WithDot(std::string_view path) {
  std::string out(path);
  if (FileNamePart(path).find('.') == std::string::npos) out += '.';
  return out;
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextFast(text.substr(0, prefix.size()), prefix);
}

class Planner {
 public:
  explicit Planner(const BuildOptions& options) : options_(options), codePage_(options.codePage) {}

  BuildPlan Run();

 private:
  struct Package {
    const TsxPackage* source = nullptr;  // none for the main package the builder adds
    std::string id;
    std::string fileName;
    bool main = false;
    uint32_t flags = 0;
  };
  std::string ProjectPath(std::string_view relative) const { return root_ + "/" + std::string(relative); }
  std::string ToAnsi(const std::string& utf8, const std::string& path, std::string_view what) const;
  std::string ArchiveName(const std::string& relativeUtf8, const std::string& path) const;
  std::optional<std::string> ChildFolder(const std::string& parent, const std::string& ansiName) const;

  void LoadProject();
  void CheckRuntimeState() const;
  void ReadPackages();
  void ReadComponents();
  void CheckFeatures() const;
  void CheckPassword();
  uint64_t PayloadBytes(const TsxComponent& component) const;
  void PlanPackage(const Package& package, PlannedPackage& out);
  void PlanPackageFolder(const Package& package, PlannedPackage& out, std::vector<PlannedFile>& rest);
  void PlanPlugins(const Package& package, std::vector<PlannedFile>& out);
  void PlanData(const Package& package, PlannedPackage& out, TsxFileInfos& infos);
  std::string PackageDatabase(const Package& package, const TsxFileInfos& infos) const;
  std::string MainDatabase() const;
  void WarnUnused();
  void CheckLanguagesAndUninstaller(PlannedPackage& main);
  PlannedFile Generated(std::string name, std::string content) const;
  const Package& PackageOf(const TsxComponent& component) const {
    return packages_[componentPackage_.at(&component)];
  }
  std::string PackageAttribute(const TsxComponent& component) const {
    const Package& package = PackageOf(component);
    return package.main ? std::string() : package.fileName;
  }
  void Warn(std::string text) { plan_.warnings.push_back(std::move(text)); }
  // A symbolic link among the project's files that leads out of the project folder packs a file
  // the project does not hold; the author should know.
  void WarnIfLinkLeavesProject(const LocalFile& local);

  const BuildOptions& options_;
  host::CodePage codePage_;
  std::string root_;
  std::string realRoot_;  // the project folder with every link resolved
  std::string projectPath_;
  TsxMainDatabase db_;
  std::vector<Package> packages_;
  std::map<const TsxComponent*, size_t> componentPackage_;
  std::optional<std::string> checkHash_;  // PswCheckHash to add to the project
  std::set<std::string> usedPayload_, usedPackageFolders_, usedPlugins_;  // upper-case names
  BuildPlan plan_;
};

std::string Planner::ToAnsi(const std::string& utf8, const std::string& path, std::string_view what) const {
  if (!tool::IsValidUtf8(utf8))
    throw BuildError(Quoted(path) + ": the " + std::string(what) + " is not valid UTF-8");
  std::string ansi = codePage_.FromUtf8(utf8);
  if (codePage_.ToUtf8(ansi) != utf8)
    throw BuildError(Quoted(path) + ": the " + std::string(what) + " holds characters that code page " +
                     std::to_string(codePage_.Number()) + " cannot hold");
  return ansi;
}

std::string Planner::ArchiveName(const std::string& relativeUtf8, const std::string& path) const {
  std::string name = ToAnsi(relativeUtf8, path, "name");
  size_t start = 0;
  for (;;) {
    const size_t end = name.find('/', start);
    const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!IsWindowsFileName(part))
      throw BuildError(Quoted(path) + ": " + Quoted(part) + " is not a usable Windows file name");
    if (end == std::string::npos) break;
    name[end] = '\\';
    start = end + 1;
  }
  return name;
}

std::optional<std::string> Planner::ChildFolder(const std::string& parent, const std::string& ansiName) const {
  if (!IsLocalFolder(parent)) return std::nullopt;
  const std::string exact = parent + "/" + codePage_.ToUtf8(ansiName);
  std::vector<std::string> matches;
  for (const std::string& name : ListFolderNames(parent)) {
    const std::string ansi = codePage_.FromUtf8(name);
    if (codePage_.ToUtf8(ansi) == name && SameTextFast(ansi, ansiName)) matches.push_back(parent + "/" + name);
  }
  if (std::find(matches.begin(), matches.end(), exact) != matches.end()) matches = {exact};
  if (matches.size() > 1)
    throw BuildError(Quoted(parent) + " holds several folders named " + Quoted(codePage_.ToUtf8(ansiName)) +
                     " in different letter case");
  if (matches.empty()) return std::nullopt;
  if (!IsLocalFolder(matches.front())) return std::nullopt;
  return matches.front();
}

void Planner::LoadProject() {
  root_ = options_.projectFolder;
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  if (!IsLocalFolder(root_)) throw BuildError("project folder " + Quoted(root_) + " does not exist");
  realRoot_ = RealLocalPath(root_);
  projectPath_ = ProjectPath(kProjectFile);
  const std::string bytes = [&] {
    try {
      return ReadLocalFile(projectPath_);
    } catch (const BuildError& e) {
      throw BuildError(std::string(e.what()) + " (every project folder holds its project in project.xml)");
    }
  }();
  // The engine's reader takes what it can of a damaged file; a build must not, so the file is
  // checked strictly first.
  if (const auto error = tool::CheckProjectWellFormed(bytes))
    throw BuildError(DescribeXmlError(projectPath_, *error) + " (the file is not well-formed XML)");
  std::string text;
  try {
    text = tool::DecodeProjectText(bytes, codePage_).text;
  } catch (const tool::ProjectTextError& e) {
    throw BuildError(projectPath_ + ": " + e.what());
  }
  TXMLTag tag;
  try {
    tag.Parse(text);
  } catch (const TXMLParserError& e) {
    throw BuildError(projectPath_ + ": " + e.what());
  }
  if (tag.Kind != xkElement || tag.Name() != "sx2project")
    throw BuildError(projectPath_ + ": the root element must be <sx2project>, not <" + tag.Name() + ">");
  db_.Assign(tag);
  std::vector<std::string> variables;
  for (const TsxVariable& variable : *db_.Variables) variables.push_back(variable.Name);
  for (const TsxPackage& package : *db_.Packages)
    for (const TsxVariable& variable : *package.Variables) variables.push_back(variable.Name);
  for (std::string& warning : UnknownVariableReferences(tag, variables)) Warn(projectPath_ + ": " + warning);
}

void Planner::WarnIfLinkLeavesProject(const LocalFile& local) {
  if (local.linkTarget.empty()) return;
  const bool inside = !realRoot_.empty() && local.linkTarget.size() > realRoot_.size() &&
                      local.linkTarget.compare(0, realRoot_.size(), realRoot_) == 0 &&
                      (local.linkTarget[realRoot_.size()] == '/' || local.linkTarget[realRoot_.size()] == '\\' ||
                       realRoot_ == "/");
  if (!inside)
    Warn(Quoted(local.path) + " is a link that leads outside the project folder, to " + Quoted(local.linkTarget) +
         "; that file is packed");
}

void Planner::CheckRuntimeState() const {
  if (!db_.Password.empty())
    throw BuildError(projectPath_ + ": the project sets password=\"...\"; give the installation "
                     "password to sxbuild with --password or --password-file instead, a setup never "
                     "carries it");
  const std::pair<const char*, bool> state[] = {
      {"tempfontspath", !db_.TempFontsPath.empty()},
      {"tempgacpath", !db_.TempGACPath.empty()},
      {"tempbackuppath", !db_.TempBackupPath.empty()},
      {"installstate", db_.InstallState != TsxInstallState::isUnknown},
      {"installstatedata", !db_.InstallStateData.empty()},
      {"activeinstalltype", !db_.ActiveInstallType.empty()},
      {"rebootonfinish", db_.RebootOnFinish},
  };
  for (const auto& [name, set] : state)
    if (set)
      throw BuildError(projectPath_ + ": " + name +
                       " is state of a running installation, not part of a project; remove it");
}

void Planner::ReadPackages() {
  std::set<std::string> ids;
  int mains = 0;
  for (const TsxPackage& source : *db_.Packages) {
    Package package;
    package.source = &source;
    package.id = source.ID;
    package.main = source.Main;
    const std::string where = projectPath_ + ": package " + Quoted(package.id);
    if (package.id.empty()) throw BuildError(projectPath_ + ": a package has no id");
    if (!IsWindowsFileName(package.id))
      throw BuildError(where + ": the id must be usable as a folder name");
    if (!ids.insert(Upper(package.id)).second) throw BuildError(where + " is declared twice");
    const std::pair<const char*, bool> state[] = {
        {"temppath", !source.TempPath.empty()}, {"fullfilename", !source.FullFileName.empty()},
        {"needed", source.Needed},              {"prepared", source.Prepared},
        {"presetupsize", source.PresetupSize != 0}, {"datasize", source.DataSize != 0}};
    for (const auto& [name, set] : state)
      if (set) throw BuildError(where + ": " + name + " is set by the engine or the builder; remove it");
    if (source.Components->Count() > 0)
      throw BuildError(where + ": declare components in the project's <components> with package=\"" +
                       package.id + "\", not inside the package");
    if (source.Flags < 0 || source.Flags > 7)
      throw BuildError(where + ": flags must be 0 to 7 (1 scrambled, 2 no preparing window, 4 quiet)");
    package.flags = static_cast<uint32_t>(source.Flags) | options_.extraFlags;
    std::string fileName = source.FileName.empty() ? (package.main ? kDefaultSetupName : package.id)
                                                   : source.FileName;
    const std::string extension = package.main ? ".exe" : ".sxp";
    if (fileName.size() > 4 && SameTextFast(fileName.substr(fileName.size() - 4), extension))
      fileName.resize(fileName.size() - 4);
    if (!IsWindowsFileName(fileName) || fileName.size() > 200)
      throw BuildError(where + ": filename " + Quoted(fileName) + " is not a usable file name");
    if (!package.main && fileName.find('.') != std::string::npos)
      throw BuildError(where + ": filename " + Quoted(fileName) +
                       " must not hold a dot (the engine looks for <filename>.sxp)");
    package.fileName = fileName;
    mains += package.main;
    packages_.push_back(package);
  }
  if (mains > 1) throw BuildError(projectPath_ + ": more than one package is marked main=\"1\"");
  if (mains == 0) {
    if (ids.count(Upper(kImplicitMainId)))
      throw BuildError(projectPath_ + ": no package is marked main=\"1\", and the name of the main "
                       "package the builder adds (\"main\") is taken");
    Package main;
    main.id = kImplicitMainId;
    main.fileName = kDefaultSetupName;
    main.main = true;
    main.flags = options_.extraFlags;
    packages_.insert(packages_.begin(), main);
  } else {
    std::stable_partition(packages_.begin(), packages_.end(), [](const Package& p) { return p.main; });
  }
  // Output names must differ, also from the continuation cabinets of every package.
  std::set<std::string> names;
  for (const Package& package : packages_) {
    const std::string output = package.fileName + (package.main ? ".exe" : ".sxp");
    if (!names.insert(Upper(output)).second)
      throw BuildError(projectPath_ + ": two packages would both be written as " + Quoted(output));
    for (const Package& other : packages_) {
      const std::string prefix = other.fileName + "-";
      if (&other != &package && StartsWithText(package.fileName, prefix) &&
          package.fileName.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
        throw BuildError(projectPath_ + ": the filename of package " + Quoted(package.id) +
                         " would clash with the cabinets of package " + Quoted(other.id));
    }
  }
}

void Planner::ReadComponents() {
  std::set<std::string> ids;
  for (const TsxComponent& component : *db_.Components) {
    const std::string where = projectPath_ + ": component " + Quoted(component.ID());
    if (component.ID().empty()) throw BuildError(projectPath_ + ": a component has no id");
    if (!IsWindowsFileName(component.ID()))
      throw BuildError(where + ": the id must be usable as a folder name (it names data\\<id>\\)");
    if (!ids.insert(Upper(component.ID())).second) throw BuildError(where + " is declared twice");
    std::string wanted = component.Package;
    for (const char* extension : {".sxp", ".exe"})
      if (wanted.size() > 4 && SameTextFast(wanted.substr(wanted.size() - 4), extension)) wanted.resize(wanted.size() - 4);
    size_t found = packages_.size();
    for (size_t i = 0; i < packages_.size(); ++i) {
      const bool named = wanted.empty() ? packages_[i].main
                                        : SameTextFast(packages_[i].fileName, wanted) ||
                                              SameTextFast(packages_[i].id, wanted);
      if (named) {
        found = i;
        break;
      }
    }
    if (found == packages_.size())
      throw BuildError(where + ": package=" + Quoted(component.Package) + " names no package of the project");
    componentPackage_[&component] = found;
  }
}

void Planner::CheckFeatures() const {
  std::set<std::string> featureIds;
  std::vector<const TsxFeature*> all;
  std::vector<const TsxFeatures*> lists = {db_.Features.get()};
  while (!lists.empty()) {
    const TsxFeatures* list = lists.back();
    lists.pop_back();
    for (const TsxFeature& feature : *list) {
      if (feature.ID.empty()) throw BuildError(projectPath_ + ": a feature has no id");
      featureIds.insert(Upper(feature.ID));
      all.push_back(&feature);
      lists.push_back(feature.Features.get());
    }
  }
  auto checkFeatureRefs = [&](const TsxFeatures& refs, const std::string& where) {
    for (const TsxFeature& ref : refs)
      if (!featureIds.count(Upper(ref.ID)))
        throw BuildError(where + " names the feature " + Quoted(ref.ID) + ", which the project does not declare");
  };
  for (const TsxFeature* feature : all) {
    const std::string where = projectPath_ + ": feature " + Quoted(feature->ID);
    for (const TsxComponent& ref : *feature->Components)
      if (!db_.Components->FindByID(ref.ID()))
        throw BuildError(where + " names the component " + Quoted(ref.ID()) +
                         ", which the project does not declare");
    checkFeatureRefs(*feature->Depends, where);
    checkFeatureRefs(*feature->Excepts, where);
  }
  for (const TsxInstallType& type : *db_.InstallTypes)
    checkFeatureRefs(*type.Features, projectPath_ + ": install type " + Quoted(type.ID));
}

void Planner::CheckPassword() {
  const TsxVariable* variable = db_.Variables->FindVariable("PswCheckHash");
  const std::string stored = variable ? variable->Value : "";
  if (!options_.password) {
    if (!stored.empty())
      throw BuildError(projectPath_ + ": the project sets PswCheckHash, so its package data must be "
                       "enciphered with that password; give it with --password or --password-file");
    return;
  }
  if (options_.password->empty()) throw BuildError("the installation password must not be empty");
  const std::string hash = PasswordCheckHash(*options_.password);
  if (!stored.empty() && stored != hash)
    throw BuildError(projectPath_ + ": PswCheckHash does not belong to the password given");
  if (stored.empty()) checkHash_ = hash;
  plan_.key = Digest(*options_.password);
}

namespace {
// The 8 bytes after a splash picture: its minimum display time and its opacity, little-endian.
std::string SplashLook(uint32_t seconds, uint32_t opacity) {
  std::string bytes;
  for (uint32_t value : {seconds, opacity})
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}
}  // namespace

PlannedFile Planner::Generated(std::string name, std::string content) const {
  PlannedFile file;
  file.name = std::move(name);
  file.size = content.size();
  file.content = std::move(content);
  file.dosDateTime = DosDateTimeOf(options_.buildTime);
  return file;
}

void Planner::PlanPackageFolder(const Package& package, PlannedPackage& out, std::vector<PlannedFile>& rest) {
  const auto folder = ChildFolder(ProjectPath(kPackagesFolder), package.id);
  if (!folder) return;
  usedPackageFolders_.insert(Upper(package.id));
  const std::vector<LocalFile> listing = ListLocalFiles(*folder);
  // The splash comes first, so the engine can show it at once; the preparing window's pictures
  // next, so they are there when the first other file makes the window appear. Region files
  // before their pictures: a picture is shown as soon as it is extracted.
  static const char* const kPictures[] = {"splash.rgn", "splash.bmp", "presetup.rgn", "presetup.bmp"};
  std::vector<PlannedFile> pictures(std::size(kPictures));
  for (const LocalFile& local : listing) {
    WarnIfLinkLeavesProject(local);
    PlannedFile file;
    file.name = ArchiveName(local.relative, local.path);
    file.source = local.path;
    file.size = local.size;
    file.dosDateTime = DosDateTimeOf(local.modified);
    file.attributes = kArchive;
    const size_t cut = file.name.find('\\');
    const std::string top = file.name.substr(0, cut);
    if (cut == std::string::npos && (SameTextFast(top, "db.pdb") || SameTextFast(top, "main.pdb")))
      throw BuildError(Quoted(local.path) + ": the builder writes " + top + " itself; remove this file");
    if (cut != std::string::npos && (SameTextFast(top, "data") || SameTextFast(top, "plugins")))
      throw BuildError(Quoted(local.path) + ": the folder " + Quoted(top) +
                       " of a package is the builder's (payload/ and plugins/ fill it)");
    if (package.main && SameTextFast(file.name, "splash.bmp") &&
        (options_.splashSeconds || options_.splashOpacity))
    {
      file = Generated(file.name, ReadLocalFile(local.path) + SplashLook(options_.splashSeconds.value_or(0),
                                                                          options_.splashOpacity.value_or(100)));
      file.attributes = kArchive;
    }
    bool picture = false;
    for (size_t i = 0; i < std::size(kPictures) && cut == std::string::npos; ++i)
      if (SameTextFast(file.name, kPictures[i])) {
        pictures[i] = std::move(file);
        picture = true;
        break;
      }
    if (!picture) rest.push_back(std::move(file));
  }
  for (PlannedFile& picture : pictures)
    if (!picture.name.empty()) out.presetup.push_back(std::move(picture));
}

void Planner::PlanPlugins(const Package& package, std::vector<PlannedFile>& out) {
  if (!package.source) return;
  int index = 0;
  for (const TsxPlugin& plugin : *package.source->Plugins) {
    const std::string where = projectPath_ + ": plug-in " + Quoted(plugin.ID) + " of package " + Quoted(package.id);
    if (plugin.ID.empty()) throw BuildError(projectPath_ + ": a plug-in of package " + Quoted(package.id) + " has no id");
    const std::string base = "plugins\\" + std::to_string(index++) + "\\";
    const auto folder = ChildFolder(ProjectPath(kPluginsFolder), plugin.ID);
    if (!folder && plugin.DebugDll.empty() && IsTerminalWizard(plugin)) {
      const std::optional<LocalFile> wizard = LocalFileFacts(options_.wizardPlugin);
      if (!wizard)
        throw BuildError(where + ": the terminal wizard " + Quoted(options_.wizardPlugin) + " is missing");
      PlannedFile file;
      file.name = base + kTerminalWizardDll;
      file.source = options_.wizardPlugin;
      file.size = wizard->size;
      file.dosDateTime = DosDateTimeOf(wizard->modified);
      out.push_back(std::move(file));
      continue;
    }
    if (!folder) {
      if (!plugin.DebugDll.empty()) continue;  // the engine loads the named DLL instead
      throw BuildError(where + ": no folder " + Quoted(ProjectPath(kPluginsFolder) + "/" + plugin.ID) +
                       " with its DLL");
    }
    usedPlugins_.insert(Upper(plugin.ID));
    bool dll = false, config = plugin.ConfigFile.empty();
    for (const LocalFile& local : ListLocalFiles(*folder)) {
      WarnIfLinkLeavesProject(local);
      PlannedFile file;
      const std::string name = ArchiveName(local.relative, local.path);
      file.name = base + name;
      file.source = local.path;
      file.size = local.size;
      file.dosDateTime = DosDateTimeOf(local.modified);
      dll = dll || (name.find('\\') == std::string::npos && MatchesWildcard(Upper(name), "*.DLL", false));
      config = config || SameTextFast(name, plugin.ConfigFile);
      out.push_back(std::move(file));
    }
    if (!dll && plugin.DebugDll.empty())
      throw BuildError(where + ": " + Quoted(*folder) + " holds no .dll file");
    if (!config)
      throw BuildError(where + ": configfile " + Quoted(plugin.ConfigFile) + " is not in " + Quoted(*folder));
  }
}

void Planner::PlanData(const Package& package, PlannedPackage& out, TsxFileInfos& infos) {
  for (const TsxComponent& component : *db_.Components) {
    if (&PackageOf(component) != &package) continue;
    const std::string where = projectPath_ + ": component " + Quoted(component.ID());
    std::vector<const TsxFile*> items;
    for (const TsxFile& item : *component.Files) {
      if (item.Action != TsxInstallAction::add || item.Flags.Contains(TsxFlag::external)) continue;
      const std::string itemWhere = where + ", file src=" + Quoted(item.Src);
      const std::string& src = item.Src;
      if (src.empty()) throw BuildError(where + ": a file item has no src");
      if (src.find('%') != std::string::npos)
        throw BuildError(itemWhere + ": a packed file needs a literal path (variables belong in dst, "
                         "or mark the item external)");
      if (src.find('/') != std::string::npos)
        throw BuildError(itemWhere + ": separate folders with backslashes");
      if (!IsSafeEntryName(src))
        throw BuildError(itemWhere + ": the path must lie below the component's payload folder");
      const size_t cut = src.find_last_of('\\');
      if (cut != std::string::npos && HasWildcards(src.substr(0, cut)))
        throw BuildError(itemWhere + ": wildcards are only understood in the file name");
      items.push_back(&item);
    }
    if (items.empty()) continue;
    const auto folder = ChildFolder(ProjectPath(kPayloadFolder), component.ID());
    if (!folder)
      throw BuildError(where + ": its files are missing: no folder " +
                       Quoted(ProjectPath(kPayloadFolder) + "/" + component.ID()));
    usedPayload_.insert(Upper(component.ID()));
    std::vector<size_t> hits(items.size(), 0);
    std::vector<std::string> unused;
    for (const LocalFile& local : ListLocalFiles(*folder)) {
      const std::string rest = ArchiveName(local.relative, local.path);
      bool packed = false;
      for (size_t i = 0; i < items.size(); ++i)
        if (SourceMatchesEntry(items[i]->Src, rest)) {
          ++hits[i];
          packed = true;
        }
      if (!packed) {
        unused.push_back(local.relative);
        continue;
      }
      WarnIfLinkLeavesProject(local);
      PlannedFile file;
      file.name = "data\\" + component.ID() + "\\" + rest;
      file.source = local.path;
      file.size = local.size;
      file.dosDateTime = DosDateTimeOf(local.modified);
      file.attributes = kArchive | (local.readOnly ? kReadOnly : 0);
      TsxFileInfo& info = infos.AddNew();
      info.Name = component.ID() + "\\" + rest;
      if (local.size > kMaxPackageBytes) throw BuildError(Quoted(local.path) + " is larger than 2 GB");
      info.Size = static_cast<int32_t>(local.size);
      InputFile input(local.path);
      uint8_t signature[2];
      if (input.ReadAt(0, 2, signature) && signature[0] == 'M' && signature[1] == 'Z') {
        const auto version = ReadPeVersion(input.Size(), [&](uint64_t offset, size_t count, uint8_t* to) {
          return input.ReadAt(offset, count, to);
        });
        if (version) info.Version = PeVersionText(*version);
      }
      out.data.push_back(std::move(file));
    }
    for (size_t i = 0; i < items.size(); ++i) {
      if (hits[i] > 0) continue;
      const std::string itemWhere = where + ", file src=" + Quoted(items[i]->Src);
      if (!HasWildcards(items[i]->Src))
        throw BuildError(itemWhere + ": no such file in " + Quoted(*folder));
      Warn(itemWhere + ": no file in " + Quoted(*folder) + " matches");
    }
    if (!unused.empty())
      Warn(where + ": " + std::to_string(unused.size()) + " file(s) of " + Quoted(*folder) +
           " match no file item and are not packed, e.g. " + Quoted(unused.front()));
  }
  // The author's facts about files (font names, assembly data) join the computed ones.
  if (package.source) {
    for (const TsxFileInfo& given : *package.source->FileInfos) {
      const std::string where = projectPath_ + ": package " + Quoted(package.id) + ", fileinfo " + Quoted(given.Name);
      TsxFileInfo* info = infos.FindByName(given.Name);
      if (!info) throw BuildError(where + " names no packed file (names are <component ID>\\<path>)");
      if (!given.Version.empty() || given.Size != 0)
        throw BuildError(where + ": size and version are read from the file; give only fontname and assemblydata");
      info->FontName = given.FontName;
      info->AssemblyData = given.AssemblyData;
    }
  }
}

std::string Planner::PackageDatabase(const Package& package, const TsxFileInfos& infos) const {
  TsxPackage out;
  out.ID = package.id;
  for (const TsxComponent& component : *db_.Components) {
    if (&PackageOf(component) != &package) continue;
    TsxComponent& copy = out.Components->AddNew();
    copy.Assign(component);
    copy.Package = PackageAttribute(component);
  }
  if (package.source) {
    out.Plugins->Assign(*package.source->Plugins);
    out.Variables->Assign(*package.source->Variables);
  }
  out.FileInfos->Assign(infos);
  return out.SaveToString("package");
}

std::string Planner::MainDatabase() const {
  TsxMainDatabase out;
  out.Assign(db_);
  // The main package is the engine's own package 0; the file lists the others, bare: each
  // package's own database fills them in when it is loaded.
  out.Packages->Clear();
  for (const Package& package : packages_) {
    if (package.main) continue;
    TsxPackage& entry = out.Packages->AddNew();
    entry.ID = package.id;
    entry.FileName = package.fileName;
  }
  int index = 0;
  for (const TsxComponent& component : *db_.Components)
    out.Components->Items(index++).Package = PackageAttribute(component);
  if (checkHash_) {
    TsxVariable* existing = out.Variables->ScanByName("PswCheckHash");
    TsxVariable& variable = existing ? *existing : out.Variables->AddNew();
    variable.Name = "PswCheckHash";
    variable.Value = *checkHash_;
    out.Variables->Reindex();
  }
  return out.SaveToString("sx2project");
}

void Planner::PlanPackage(const Package& package, PlannedPackage& out) {
  out.id = package.id;
  out.main = package.main;
  out.fileName = package.fileName;
  out.outputName = package.fileName + (package.main ? ".exe" : ".sxp");
  out.flags = package.flags;
  std::vector<PlannedFile> folderFiles, pluginFiles;
  PlanPackageFolder(package, out, folderFiles);
  PlanPlugins(package, pluginFiles);
  TsxFileInfos infos;
  PlanData(package, out, infos);
  out.presetup.push_back(Generated("db.pdb", EncodePdb(PackageDatabase(package, infos))));
  if (package.main) out.presetup.push_back(Generated("main.pdb", EncodePdb(MainDatabase())));
  for (auto* list : {&folderFiles, &pluginFiles})
    for (PlannedFile& file : *list) out.presetup.push_back(std::move(file));

  std::set<std::string> names;
  for (const auto* list : {&out.presetup, &out.data})
    for (const PlannedFile& file : *list) {
      if (file.name.size() > kMaxCabEntryName)
        throw BuildError(Quoted(file.source.empty() ? file.name : file.source) +
                         ": the name in the package is longer than 255 characters");
      if (!names.insert(Upper(file.name)).second)
        throw BuildError("package " + Quoted(package.id) + ": two files would be stored as " + Quoted(file.name) +
                         " (names differ only in letter case?)");
    }
  for (const PlannedFile& file : out.presetup) out.presetupSize += file.size;
  for (const PlannedFile& file : out.data) out.dataSize += file.size;
  if (out.presetupSize > kMaxPackageBytes || out.dataSize > kMaxPackageBytes)
    throw BuildError("package " + Quoted(package.id) + " holds more than 2 GB; split it into more packages");
}

void Planner::CheckLanguagesAndUninstaller(PlannedPackage& main) {
  auto carries = [&](const std::string& name) {
    return std::any_of(main.presetup.begin(), main.presetup.end(),
                       [&](const PlannedFile& f) { return SameTextFast(f.name, name); });
  };
  const TsxVariable* languages = db_.Variables->FindVariable("Languages");
  std::string list = languages ? languages->Value : "ENU";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string id = list.substr(start, end - start);
    id.erase(0, id.find_first_not_of(' '));
    id.erase(id.find_last_not_of(' ') + 1);
    if (!id.empty() && !carries("lng\\" + id + ".lng"))
      Warn("the main package carries no language file lng\\" + Upper(id) + ".lng (put it in " +
           ProjectPath(kPackagesFolder) + "/" + main.id + "/lng/); the engine's messages in that language stay empty");
    start = end + 1;
  }
  // The engine copies the uninstaller when the project asks for an uninstall registration.
  const TsxVariable* uninstall = db_.Variables->FindVariable("Uninstall");
  const bool registers = uninstall && std::atoi(uninstall->Value.c_str()) != 0;
  if (registers && !carries("Uninstall.exe") && !options_.uninstaller.empty()) {
    // Our own uninstaller, unless the project brings one in its main package folder.
    PlannedFile file;
    file.name = "Uninstall.exe";
    file.source = options_.uninstaller;
    file.size = InputFile(options_.uninstaller).Size();
    file.dosDateTime = DosDateTimeOf(options_.buildTime);
    file.attributes = kArchive;
    main.presetupSize += file.size;
    main.presetup.push_back(std::move(file));
  } else if (registers && !carries("Uninstall.exe")) {
    Warn("the project sets Uninstall, but the main package carries no Uninstall.exe (put it in " +
         ProjectPath(kPackagesFolder) + "/" + main.id + "/); the uninstall entry will name a missing program");
  }
}

void Planner::WarnUnused() {
  const std::pair<const char*, const std::set<std::string>*> folders[] = {
      {kPayloadFolder, &usedPayload_}, {kPackagesFolder, &usedPackageFolders_}, {kPluginsFolder, &usedPlugins_}};
  for (const auto& [folder, used] : folders) {
    const std::string path = ProjectPath(folder);
    if (!IsLocalFolder(path)) continue;
    for (const std::string& name : ListFolderNames(path)) {
      const std::string ansi = codePage_.FromUtf8(name);
      if (!used->count(Upper(ansi))) Warn(Quoted(path + "/" + name) + " is not used by the project");
    }
  }
}

// The bytes of the payload files the component's file items take (the sizes the wizard shows).
uint64_t Planner::PayloadBytes(const TsxComponent& component) const {
  const auto folder = ChildFolder(ProjectPath(kPayloadFolder), component.ID());
  if (!folder) return 0;
  uint64_t bytes = 0;
  for (const LocalFile& local : ListLocalFiles(*folder)) {
    const std::string rest = ArchiveName(local.relative, local.path);
    for (const TsxFile& item : *component.Files)
      if (item.Action == TsxInstallAction::add && !item.Flags.Contains(TsxFlag::external) &&
          SourceMatchesEntry(item.Src, rest)) {
        bytes += local.size;
        break;
      }
  }
  return bytes;
}

BuildPlan Planner::Run() {
  LoadProject();
  CheckRuntimeState();
  AddTerminalWizard(db_, kImplicitMainId);
  ReadPackages();
  ReadComponents();
  CheckFeatures();
  DescribeSizesToWizard(db_, [this](const TsxComponent& component) { return PayloadBytes(component); });
  CheckPassword();
  for (const Package& package : packages_) {
    plan_.packages.emplace_back();
    PlanPackage(package, plan_.packages.back());
  }
  CheckLanguagesAndUninstaller(plan_.packages.front());
  WarnUnused();
  return std::move(plan_);
}

}  // namespace

std::string PlannedPackage::CabinetName(int n) const {
  return n == 0 ? outputName : fileName + "-" + std::to_string(n + 1) + ".cab";
}

bool IsWindowsFileName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.back() == '.' || name.back() == ' ') return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
      return false;
  const std::string base = Upper(name.substr(0, name.find('.')));
  static const std::set<std::string> kDevices = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                                 "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                                 "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  return !kDevices.count(base);
}

bool SourceMatchesEntry(std::string_view src, std::string_view rest) {
  const std::string source = WithDot(src);
  const std::string entry = WithDot(rest);
  const size_t cut = source.find_last_of('\\');
  const std::string mask = source.substr(cut == std::string::npos ? 0 : cut + 1);
  if (!HasWildcards(mask)) return SameTextFast(source, entry);
  const std::string folder = cut == std::string::npos ? "" : source.substr(0, cut + 1);
  const size_t entryCut = entry.find_last_of('\\');
  const std::string entryFolder = entryCut == std::string::npos ? "" : entry.substr(0, entryCut + 1);
  const std::string entryName = entry.substr(entryCut == std::string::npos ? 0 : entryCut + 1);
  return MatchesWildcard(Upper(entryName), Upper(mask), false) && StartsWithText(entryFolder, folder);
}

BuildPlan PlanBuild(const BuildOptions& options) { return Planner(options).Run(); }

}  // namespace sx::build
