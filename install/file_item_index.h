// Finding the file item that installs an entry, and the target path of an entry.
//
// A package stores every file as "data\" + component ID + "\" + its path below the item's source
// folder. TFileItemIndex answers, for such an entry, the first item (in the component's order)
// with the action `add`, the wanted `external` flag and a matching source whose condition holds.
// Items are indexed once per phase: exact sources by their folded text, wildcard sources in a
// short list per component, so the cost of a lookup does not grow with the number of files, and
// conditions are evaluated only for items whose source matches.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sx {

class TsxComponent;
class TsxFile;
class TXMLObject;

// The text compared with an entry: a file name without extension gets a "." appended, so that
// "*.*" matches "README" as it does on Windows.
std::string WithExtensionDot(std::string_view path);

// Whether `src` (the item's source, relative to the component's folder) covers `rest` (an entry's
// path below the component's folder). With wildcards in the file-name part of `src`, the file
// name must match the mask and the entry's folder must begin with the source folder; otherwise
// both are equal. Letter case is ignored throughout.
bool SourceMatches(std::string_view src, std::string_view rest);

struct TFoundItem {
  TsxComponent* component = nullptr;
  TsxFile* file = nullptr;
};

class TFileItemIndex {
 public:
  // Indexes the `add` items of the components whose `external` flag equals `external`. Sources
  // are expanded in `context` (the project root or the package whose entries are looked up).
  void Build(const std::vector<TsxComponent*>& components, bool external, TXMLObject* context);

  // The item for an entry below "data\"; an empty result when the entry is outside "data\",
  // names no indexed component, or no matching item's condition holds.
  TFoundItem Find(std::string_view entryName) const;

 private:
  struct Candidate {
    int order;  // position among all indexed items, for the first-in-list rule
    TsxComponent* component;
    TsxFile* file;
    std::string source;  // expanded source
  };
  struct ComponentItems {
    std::unordered_map<std::string, std::vector<int>> exact;  // folded source -> candidates
    std::vector<int> masked;                                  // sources with wildcards
  };
  std::vector<Candidate> candidates_;
  std::unordered_map<std::string, ComponentItems> components_;  // folded component ID
};

// The target of an entry: `rest` is the entry's path below the component's folder (package mode)
// or the found file's path (external mode, with the source folder included). `relative` is set
// when the target was derived from the entry (wildcards), so that the caller can refuse one that
// climbs out of the destination folder.
struct TTargetPath {
  std::string path;
  std::string name;       // the last component ("." for a folder-only entry)
  bool unsafe = false;    // a derived part with "..", a drive or a leading backslash
};
TTargetPath ComputeTarget(TXMLObject* context, const TsxFile& item, std::string_view rest);

}  // namespace sx
