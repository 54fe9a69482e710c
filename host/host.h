// The host layer: everything the engine takes from the operating system.
//
// The engine is a Windows program. It sees Windows paths ("C:\Program Files\App\"), the Windows
// registry, Windows file attributes, message boxes, processes started from a Windows command line
// and the facts Windows keeps about itself (version, locale, user rights, shell folders). `Host`
// is the one interface through which all of that is reached; nothing above this folder calls the
// C library or POSIX for files, registry, processes or time.
//
// Implementations: `host/posix/` simulates a Windows machine in a Wine-style prefix folder; a
// Win32 implementation can be added without touching the engine. `HostWrapper`
// (host_wrapper.h) forwards every call to another host, so that tests override a few calls for
// fault injection.
//
// Errors follow the Win32 model: calls report failure by their result and leave a Windows error
// code that `LastError()` returns (per thread). Texts are 8-bit strings in the machine's ANSI code
// page, exactly as the engine's "A" calls would see them.
//
// Thread safety: a host may be used from several threads (the engine has a main thread and a copy
// thread). Registry and file calls are safe to make concurrently; the caller keeps the usual
// Windows rules (no two threads writing the same file).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sx::host {

// The machine itself is unusable: a damaged registry file, a machine folder that cannot be made.
// Raised, not returned, because no caller could go on sensibly; the top level shows the message.
class MachineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Windows error codes the host reports.
enum WinError : uint32_t {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorBadFormat = 11,
  kErrorInvalidData = 13,
  kErrorNotSameDevice = 17,
  kErrorNoMoreFiles = 18,
  kErrorWriteFault = 29,
  kErrorReadFault = 30,
  kErrorSharingViolation = 32,
  kErrorLockViolation = 33,
  kErrorHandleEof = 38,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorInvalidName = 123,
  kErrorModNotFound = 126,
  kErrorProcNotFound = 127,
  kErrorDirNotEmpty = 145,
  kErrorBadPathname = 161,
  kErrorAlreadyExists = 183,
  kErrorFilenameExcedRange = 206,
  kErrorDirectory = 267,
  kErrorEnvvarNotFound = 203,
  kErrorNoMoreItems = 259,
  kErrorBadExeFormat = 193,
  kErrorNoAssociation = 1155,
  kErrorCancelled = 1223,
  kErrorBadRegistryFile = 1009,
  kErrorKeyDeleted = 1018,
};

// Windows file attributes.
enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolumeLabel = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
  kAttrReparsePoint = 0x400,  // a symbolic link (or junction): never descend into it
};

// A FILETIME: 100-nanosecond intervals since 1601-01-01, in UTC unless said otherwise.
struct FileTime {
  uint64_t ticks = 0;
  friend bool operator==(FileTime, FileTime) = default;
  friend auto operator<=>(FileTime, FileTime) = default;
};

// A SYSTEMTIME.
struct SystemTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

struct FileInfo {
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime creationTime, lastAccessTime, lastWriteTime;
};

// One entry of a folder listing.
struct FindEntry {
  std::string name;  // file name only, in ANSI
  FileInfo info;
};

// A shell link as IShellLinkA takes it; texts in ANSI.
struct ShellLinkData {
  std::string target, arguments, workingDir, description, iconFile;
  int showCommand = 1;  // SW_SHOWNORMAL 1, SW_SHOWMAXIMIZED 3, SW_SHOWMINNOACTIVE 7
  uint16_t hotKey = 0;
  int32_t iconIndex = 0;
};

// What ITypeLib::GetLibAttr and GetDocumentation(-1) tell about a type library.
struct TypeLibInfo {
  std::string libid;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
  uint16_t major = 0, minor = 0;
  uint32_t lcid = 0;
  int sysKind = 1;     // SYS_WIN16 0, SYS_WIN32 1, SYS_MAC 2, SYS_WIN64 3
  uint16_t flags = 0;  // LIBFLAG_FRESTRICTED 1, FCONTROL 2, FHIDDEN 4, FHASDISKIMAGE 8
  std::string name, docString, helpFile;  // ANSI
};

struct DiskSpace {
  uint64_t freeBytesAvailable = 0;  // free to the calling user
  uint64_t totalBytes = 0;
  uint64_t freeBytes = 0;
};

enum class OpenMode {
  kRead,          // existing file, read access
  kReadWrite,     // existing file, read and write access
  kCreateAlways,  // create or truncate, read and write access
  kCreateNew,     // create; fails with kErrorFileExists when it exists
  kOpenAlways,    // open or create, read and write access
};

// While a file opened with `denyWrite` is open, nobody else may open it for writing (the Windows
// share mode FILE_SHARE_READ): a writable open fails with kErrorSharingViolation, and so does a
// denyWrite open while another handle can write. Two denyWrite handles also exclude each other.
struct OpenOptions {
  OpenMode mode = OpenMode::kRead;
  bool denyWrite = false;
};

// An open file. Closed when destroyed.
class File {
 public:
  virtual ~File() = default;
  // Bytes read, 0 at the end of the file; std::nullopt on failure.
  virtual std::optional<size_t> Read(void* buffer, size_t count) = 0;
  // Writes all bytes or fails (kErrorDiskFull and the like).
  virtual bool Write(const void* data, size_t count) = 0;
  virtual bool Seek(uint64_t position) = 0;
  virtual std::optional<uint64_t> Position() = 0;
  virtual std::optional<uint64_t> Size() = 0;
  // Cuts the file at the current position.
  virtual bool Truncate() = 0;
  // Makes what was written durable.
  virtual bool Sync() = 0;
  // What Host::SetFileTimes and Host::SetFileAttributes do by path, done through this handle
  // (no second look-up of the path). A handle opened for reading only may not change them
  // (kErrorAccessDenied), as on Windows.
  virtual bool SetTimes(const FileTime* creation, const FileTime* lastAccess,
                        const FileTime* lastWrite) = 0;
  virtual bool SetAttributes(uint32_t attributes) = 0;
};

// Registry roots.
enum class RegRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers };

// Registry value types (the Windows REG_* codes).
enum RegType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegResourceList = 8,
  kRegFullResourceDescriptor = 9,
  kRegResourceRequirementsList = 10,
  kRegQword = 11,
};

// A value as the ANSI registry calls give it: for the string types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) `data` is ANSI text with its terminating NUL byte(s) as stored (a REG_SZ "abc" is
// "abc\0", a REG_MULTI_SZ is "a\0b\0\0"); for every other type the raw bytes.
struct RegValue {
  uint32_t type = kRegNone;
  std::string data;
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

struct RegNamedValue {
  std::string name;  // "" is the default value
  RegValue value;
};

// A locale of the machine.
struct LocaleInfo {
  uint32_t lcid = 0x409;                 // 1033
  std::string abbreviation = "ENU";      // LOCALE_SABBREVLANGNAME
  std::string languageName = "English";  // LOCALE_SENGLANGUAGE
  std::string fullLanguageName = "English (United States)";  // LOCALE_SLANGUAGE
  uint32_t ansiCodePage = 1252;
  uint32_t oemCodePage = 437;
  uint32_t charset = 0;  // the GDI character set (ANSI_CHARSET 0, RUSSIAN_CHARSET 204, ...)
};

enum class OsPlatform { kWin32s = 0, kWindows9x = 1, kWindowsNT = 2 };

// What the machine says about itself. The registry holds some of it (as Windows does);
// sxmachine.ini overrides and completes it.
struct MachineFacts {
  OsPlatform platform = OsPlatform::kWindowsNT;
  uint32_t major = 5, minor = 1, build = 2600;
  std::string servicePack = "Service Pack 3";
  bool admin = true;
  bool hklmWritable = true;
  std::string userName = "user";
  std::string computerName = "SXMACHINE";
  LocaleInfo userLocale;
  LocaleInfo systemLocale;  // gives the ANSI code page of the machine
  std::vector<LocaleInfo> installedLocales;
  std::string decimalSeparator = ".";
  std::string windowsFolder = "C:\\windows";          // no trailing backslash
  std::string systemFolder = "C:\\windows\\system32";  // no trailing backslash
  int screenWidth = 1024, screenHeight = 768;
};

// Message box styles and answers (the MB_* and ID* codes).
enum MessageBoxAnswer : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdAbort = 3,
  kIdRetry = 4,
  kIdIgnore = 5,
  kIdYes = 6,
  kIdNo = 7,
  kIdTryAgain = 10,
  kIdContinue = 11,
};

// A started program. Destroying it closes the handle; the program runs on.
class Process {
 public:
  virtual ~Process() = default;
  // Waits at most `milliseconds` (0xFFFFFFFF: forever); true when the program has ended.
  virtual bool Wait(uint32_t milliseconds) = 0;
  // The exit code once the program has ended; 259 (STILL_ACTIVE) before.
  virtual uint32_t ExitCode() = 0;
};

// A loaded library. Destroying it unloads the library.
class Library {
 public:
  virtual ~Library() = default;
  // The exported symbol, or nullptr (kErrorProcNotFound).
  virtual void* Symbol(const std::string& name) = 0;
};

// A window of the engine. The simulated machine draws windows on the terminal (a progress bar on
// standard error when it is one); the Win32 host makes real windows. Both write one trace line
// per change (kind "window"):
//   create "TITLE" class=CLASS handle=N owner=N x=X y=Y w=W h=H | show "TITLE" |
//   place "TITLE" x=X y=Y w=W h=H | caption "TITLE" text="TEXT" | alpha "TITLE" N |
//   region "TITLE" rects=N | progress "TITLE" N | close "TITLE"
// Destroying the object destroys the window.
class Window {
 public:
  virtual ~Window() = default;
  virtual intptr_t Handle() = 0;
  // The title bar's text (the trace keeps naming the window by its first title).
  virtual void SetCaption(std::string_view caption) = 0;
  virtual void Place(int x, int y, int width, int height) = 0;
  // The window's outer size now: as created or placed, or, for a dialog, as its template and
  // the system's dialog font make it.
  virtual int Width() = 0;
  virtual int Height() = 0;
  // Shows the window and draws it at once.
  virtual void Show() = 0;
  virtual bool Visible() = 0;
  // Layered with a constant alpha (0-255).
  virtual void SetAlpha(int alpha) = 0;
  // The window's shape: a region data block (RGNDATA: its 32-byte header, then nCount
  // rectangles), checked by the caller; the trace names its number of rectangles.
  virtual void SetRegion(std::string_view regionData) = 0;
  // The position of the window's progress bar (0-100).
  virtual void SetProgress(int percent) = 0;
};

// A progress bar inside a window, at a place of its client area, in colours of its own
// (COLORREF values: 0x00BBGGRR).
struct ProgressBarSpec {
  int x = 0, y = 0, width = 0, height = 0;
  uint32_t barColor = 0, backgroundColor = 0xFFFFFF;
};

struct WindowSpec {
  std::string className;  // a registered class ("SxenMainWindow") or a dialog ("DLG_PRESETUP")
  std::string title;
  intptr_t owner = 0;
  int x = 0, y = 0, width = 0, height = 0;
  // A bitmap file (Windows path) the window paints at 0,0 as its whole face; "" for none.
  std::string picture;
  // A progress bar of the window; a dialog brings its own (control 101).
  std::optional<ProgressBarSpec> progressBar;
};

// A named mutex of the machine, seen by every process that works on it. Released when destroyed.
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // True when the mutex existed before this handle was made (another holder has it).
  virtual bool AlreadyExisted() = 0;
};

class Host {
 public:
  virtual ~Host() = default;

  // ---- errors
  virtual uint32_t LastError() = 0;
  virtual void SetLastError(uint32_t code) = 0;

  // ---- the machine
  // The host folder of the simulated machine (empty on a real Windows host).
  virtual std::string MachineFolder() = 0;
  virtual const MachineFacts& Facts() = 0;
  // The path of a shell folder by its CSIDL number, "" when the machine has none.
  virtual std::string ShellFolder(int csidl) = 0;

  // ---- code pages: the machine's ANSI code page, the OEM code page and the user's locale
  virtual std::string AnsiToUtf8(std::string_view ansi) = 0;
  virtual std::string Utf8ToAnsi(std::string_view utf8) = 0;
  virtual std::string AnsiToOem(std::string_view ansi) = 0;
  // Upper-cases by the user's locale (CharUpperBuff).
  virtual std::string UpperCaseLocale(std::string_view text) = 0;
  // Compares by the user's locale (CompareString): <0, 0, >0.
  virtual int CompareLocale(std::string_view a, std::string_view b, bool ignoreCase) = 0;

  // ---- paths
  // The host path a Windows path maps to, or std::nullopt when it cannot be mapped (UNC, unknown
  // drive, invalid characters): kErrorPathNotFound. Existing components are matched ignoring case.
  virtual std::optional<std::string> MapPath(std::string_view windowsPath) = 0;
  // The Windows path of a host path (a drive whose folder holds it), or std::nullopt.
  virtual std::optional<std::string> WindowsPathOf(std::string_view hostPath) = 0;
  // The full Windows path of a possibly relative path (GetFullPathName).
  virtual std::string FullPath(std::string_view path) = 0;
  virtual std::string CurrentFolder() = 0;  // no trailing backslash
  virtual bool SetCurrentFolder(std::string_view path) = 0;
  // The Windows path of the running program.
  virtual std::string ModuleFileName() = 0;
  // The temporary folder (GetTempPath), with a trailing backslash.
  virtual std::string TempPath() = 0;

  // ---- files and folders
  virtual std::optional<FileInfo> GetFileInfo(std::string_view path) = 0;
  virtual bool SetFileAttributes(std::string_view path, uint32_t attributes) = 0;
  virtual bool SetFileTimes(std::string_view path, const FileTime* creation,
                            const FileTime* lastAccess, const FileTime* lastWrite) = 0;
  virtual bool CreateFolder(std::string_view path) = 0;  // one level; kErrorAlreadyExists
  // Must be empty; a folder that is a symbolic link loses only the link.
  virtual bool RemoveFolder(std::string_view path) = 0;
  virtual bool DeleteFile(std::string_view path) = 0;    // read-only files: kErrorAccessDenied
  virtual bool MoveFile(std::string_view from, std::string_view to, bool replaceExisting) = 0;
  virtual bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) = 0;
  virtual std::unique_ptr<File> OpenFile(std::string_view path, OpenOptions options) = 0;
  // Lists the entries of a folder that match the name mask of `mask` ("C:\dir\*.dll"), with
  // FindFirstFile's rules, including "." and ".." for a folder other than a drive root.
  // std::nullopt when the folder does not exist; an empty list when nothing matches
  // (kErrorFileNotFound).
  virtual std::optional<std::vector<FindEntry>> FindFiles(std::string_view mask) = 0;
  virtual std::optional<DiskSpace> GetDiskSpace(std::string_view path) = 0;

  // ---- registry (ANSI view; names compare ignoring case)
  virtual bool RegKeyExists(RegRoot root, std::string_view subKey) = 0;
  // Creates the key and every missing parent.
  virtual bool RegCreateKey(RegRoot root, std::string_view subKey) = 0;
  // Deletes a key that has no sub-keys (kErrorAccessDenied when it has).
  virtual bool RegDeleteKey(RegRoot root, std::string_view subKey) = 0;
  virtual std::optional<RegValue> RegQueryValue(RegRoot root, std::string_view subKey,
                                                std::string_view name) = 0;
  // The key must exist (kErrorFileNotFound).
  virtual bool RegSetValue(RegRoot root, std::string_view subKey, std::string_view name,
                           const RegValue& value) = 0;
  virtual bool RegDeleteValue(RegRoot root, std::string_view subKey, std::string_view name) = 0;
  virtual std::optional<std::vector<std::string>> RegEnumKeys(RegRoot root,
                                                              std::string_view subKey) = 0;
  virtual std::optional<std::vector<RegNamedValue>> RegEnumValues(RegRoot root,
                                                                  std::string_view subKey) = 0;
  // Writes changed registry files to disk (atomically). False when a file could not be written.
  virtual bool RegFlush() = 0;

  // ---- ending the session: ExitWindowsEx. The simulated machine records the request (standard
  // error and trace) and leaves performing it to `sxtool machine reboot`.
  virtual bool ExitWindows(uint32_t flags) = 0;

  // ---- message boxes: the answer (an ID* code), never 0. The owner is the one set with
  // SetNextBoxOwner on the calling thread.
  virtual int MessageBox(std::string_view title, std::string_view text, uint32_t style) = 0;

  // ---- windows: nullptr when the window cannot be created
  virtual std::unique_ptr<Window> CreateWindow(const WindowSpec& options) = 0;

  // ---- named mutexes: nullptr when the mutex cannot be made at all
  virtual std::unique_ptr<NamedMutex> CreateNamedMutex(std::string_view name) = 0;

  // ---- system file protection: true for a file the system protects (sfc)
  virtual bool IsProtectedFile(std::string_view path) = 0;

  // ---- process environment (ANSI)
  virtual std::optional<std::string> GetEnv(std::string_view name) = 0;
  virtual bool SetEnv(std::string_view name, std::optional<std::string_view> value) = 0;
  virtual std::vector<std::string> ListEnv() = 0;  // "NAME=value" lines

  // ---- programs
  // Starts a program file with a Windows command line (its first argument names the program
  // as the user wrote it) in a working folder ("" for the current one).
  virtual std::unique_ptr<Process> CreateProcess(std::string_view programPath,
                                                 std::string_view commandLine,
                                                 std::string_view workingFolder, int show) = 0;
  // Opens a file as the shell would: programs start, documents open with their association.
  virtual std::unique_ptr<Process> ShellExecute(std::string_view file, std::string_view arguments,
                                                std::string_view workingFolder, int show) = 0;

  // ---- libraries
  virtual std::unique_ptr<Library> LoadLibrary(std::string_view path) = 0;

  // ---- time
  virtual FileTime SystemTimeNow() = 0;  // UTC
  virtual SystemTime LocalTimeNow() = 0;
  virtual FileTime UtcToLocal(FileTime utc) = 0;
  virtual FileTime LocalToUtc(FileTime local) = 0;
  virtual uint32_t TickCount() = 0;  // milliseconds since start, wraps
  virtual void Sleep(uint32_t milliseconds) = 0;

  // ---- shell links and change notification (traced)
  // Writes the link file as IShellLink and IPersistFile::Save do. False when it cannot be written
  // or a text does not fit the format; an existing file is then left as it was.
  virtual bool SaveShellLink(std::string_view path, const ShellLinkData& link) = 0;
  // SHChangeNotify(SHCNE_UPDATEDIR) for the path, flushed.
  virtual void NotifyFolderUpdated(std::string_view path) = 0;

  // ---- font resources of this process (traced)
  // AddFontResource: false when the file is missing or no font by its signature (TrueType,
  // OpenType, a font collection, a .fon or .fnt file). A file added twice counts twice.
  virtual bool AddFontResource(std::string_view path) = 0;
  // RemoveFontResource: false when the file has no font resource added.
  virtual bool RemoveFontResource(std::string_view path) = 0;

  // ---- type libraries (traced)
  // LoadTypeLibEx without registering, then the library's attributes and documentation.
  // std::nullopt when the file cannot be read or holds no type library (kErrorBadFormat).
  virtual std::optional<TypeLibInfo> LoadTypeLib(std::string_view path) = 0;
  // RegisterTypeLib: the library under HKCR\TypeLib with the file's full path and the help
  // folder, and its automation and dual interfaces under HKCR\Interface.
  virtual bool RegisterTypeLib(std::string_view path, std::string_view helpFolder) = 0;
  // UnRegisterTypeLib by identifier, version, locale and system kind (the other fields of
  // `library` are not used): the registration and the interfaces that name this library.
  virtual bool UnRegisterTypeLib(const TypeLibInfo& library) = 0;

  // ---- broadcasts to all top-level windows (traced)
  // WM_WININICHANGE with the changed area ("Environment"), aborting at a hung window, 5 s.
  virtual void BroadcastSettingChange(std::string_view area) = 0;
  // WM_FONTCHANGE after the font resources changed.
  virtual void BroadcastFontChange() = 0;

  // ---- observable events: one line of the trace file (SX_TRACE), when tracing
  virtual void Trace(std::string_view kind, std::string_view text) = 0;

  // ---- the end of the session: the machine's shutdown asks every announced process whether
  // the session may end. AnnounceSession makes the process one that is asked (false when it
  // cannot be); WithdrawSession takes that back (also done when the host goes).
  // ServeSessionQueries answers the questions waiting now with `answer()`, on the calling
  // thread, without waiting for more. A host without sessions announces nothing.
  virtual bool AnnounceSession() { return false; }
  virtual void WithdrawSession() {}
  virtual void ServeSessionQueries(const std::function<bool()>& answer) { (void)answer; }
};

// The host the engine uses. Set once at start-up (tests may swap it for a wrapper).
Host& CurrentHost();
// Installs `host` as the current host; returns the previous one. Not owning.
Host* SetCurrentHost(Host* host);
// Changes whenever a host is installed, so that facts cached from the current host can tell when
// they are stale.
uint64_t CurrentHostGeneration();

// The window that owns the next message box the calling thread shows (0 for none); the host
// takes it (and resets it) when it shows the box.
void SetNextBoxOwner(intptr_t owner);
intptr_t TakeNextBoxOwner();

// Time conversions that do not depend on the machine.
SystemTime FileTimeToSystemTime(FileTime time);
FileTime SystemTimeToFileTime(const SystemTime& time);
// The DOS date (high word) and time (low word) of a local file time.
uint32_t FileTimeToDosDateTime(FileTime local);

}  // namespace sx::host
