// The builder's file work on this computer: reading the project folder and writing the outputs.
// The builder does not go through a simulated machine; every path here is a path of this computer,
// in UTF-8, with "/" (on Windows also "\") between folders. What every system shares lives in
// local_files.cpp; the system calls in local_files_posix.cpp and local_files_win32.cpp.
//
// Outputs are written under temporary names in the output folder and renamed to their final
// names only when the whole build succeeded; until then a failure (or an interruption, which
// surfaces as a BuildError at the next block written) removes them again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "packages/cab_writer.h"

namespace sx::build {

// Every failure of a build: the message names the file or folder concerned.
class BuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text of a system error number (errno; on Windows, GetLastError).
std::string SystemErrorText(int error);

// The file names of the programs sxbuild takes from beside itself.
#ifdef _WIN32
inline constexpr char kEngineFileName[] = "sxengine.exe";
#else
inline constexpr char kEngineFileName[] = "sxengine";
#endif

// The folder of the running program; "." when it cannot be found.
std::string ExecutableFolder();
// The program's arguments (without its name) in UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Throws BuildError("interrupted") once SIGINT, SIGTERM or SIGHUP arrived (the handlers are
// installed by InstallInterruptHandlers).
void InstallInterruptHandlers();
void CheckInterrupted();

struct LocalFile {
  std::string relative;  // below the listed folder, "/" between folders (bytes as on disk)
  std::string path;      // full path
  std::string linkTarget;  // for a symbolic link: the real path of the file it leads to
  uint64_t size = 0;
  int64_t modified = 0;  // seconds since 1970
  bool readOnly = false; // the owner may not write it
};

// The whole content of a file.
std::string ReadLocalFile(const std::string& path);
// Size and time of an existing plain file (links followed); std::nullopt for anything else.
std::optional<LocalFile> LocalFileFacts(const std::string& path);
// The path with every link resolved; empty when it cannot be resolved.
std::string RealLocalPath(const std::string& path);
// Throws BuildError when this process may not create files in `folder`.
void CheckFolderWritable(const std::string& folder);
// Removes a file; false when there was none (or it could not be removed).
bool RemoveLocalFile(const std::string& path);
// True for an existing folder; throws for a path that exists but is no folder (or a link to one).
bool IsLocalFolder(const std::string& path);
// Every file below `folder`, depth first, sorted by relative path (byte order). Links to files
// count as files; links to folders, sockets, devices and unreadable folders are errors.
std::vector<LocalFile> ListLocalFiles(const std::string& folder);
// The entries of one folder (names only), sorted.
std::vector<std::string> ListFolderNames(const std::string& folder);

// DOS date (high word) and time (low word) in local time; times outside 1980-2107 are clamped.
uint32_t DosDateTimeOf(int64_t seconds);

// A file opened for reading, read in large pieces.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  // Up to `size` bytes; 0 at the end.
  size_t Read(void* buffer, size_t size);
  // Exactly `count` bytes at `offset`; false when the file is shorter.
  bool ReadAt(uint64_t offset, size_t count, void* out);
  uint64_t Size() const { return size_; }
  const std::string& path() const { return path_; }

 private:
  intptr_t handle_ = -1;  // file descriptor or HANDLE
  uint64_t size_ = 0;
  std::string path_;
};

// An output file under a temporary name beside its final one.
class OutputFile {
 public:
  OutputFile(std::string path, int mode);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(const void* data, size_t size);
  // Appends `count` bytes of the open file `from` (a descriptor or handle), from `offset` on.
  void Append(intptr_t from, uint64_t offset, uint64_t count, const std::string& fromName);
  void AppendFile(const std::string& sourcePath);
  uint64_t Size() const { return size_; }
  // Flushes the file to disk and closes it.
  void Finish();
  const std::string& path() const { return path_; }

 private:
  intptr_t handle_ = -1;
  uint64_t size_ = 0;
  std::string path_;
};

// Removes the temporary outputs that builds into `folder` left when they were killed
// (".<name>.sxbuild-<process ID>" of a process that is gone); returns their names. Those of
// builds still running stay.
std::vector<std::string> RemoveStaleTemporaryOutputs(const std::string& folder);

// The outputs of one build: temporary files in the output folder that become the final files
// together at the end, or disappear.
class OutputSet {
 public:
  explicit OutputSet(std::string folder);
  ~OutputSet();  // removes whatever was not committed
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;

  // A new file that will be named `finalName` (a plain file name) in the output folder.
  OutputFile& Create(const std::string& finalName, int mode);
  // Renames every file to its final name.
  void Commit();
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  struct Item {
    std::unique_ptr<OutputFile> file;
    std::string finalPath;
  };
  std::vector<Item> items_;
  bool committed_ = false;
};

// CabStorage over output files: cabinet 0 is a given file (the package file, which may already
// hold the engine image), further cabinets are created in the output set under the names that
// `cabinetName` gives; the scratch area is an unnamed temporary file in the output folder.
class FileCabStorage : public CabStorage {
 public:
  FileCabStorage(OutputSet& outputs, OutputFile& first, std::function<std::string(int)> cabinetName);
  ~FileCabStorage() override;
  void Write(int cabinet, const void* data, size_t size) override;
  void WriteScratch(const void* data, size_t size) override;
  void MoveScratch(int cabinet) override;
  // The files of the set, cabinet 0 first.
  const std::vector<OutputFile*>& files() const { return files_; }

 private:
  OutputFile& FileOf(int cabinet);
  OutputSet& outputs_;
  std::function<std::string(int)> cabinetName_;
  std::vector<OutputFile*> files_;
  intptr_t scratch_ = -1;  // file descriptor or HANDLE of an unnamed (or deleted) file
  uint64_t scratchSize_ = 0;
};

}  // namespace sx::build
