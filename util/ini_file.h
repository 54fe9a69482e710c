// TqvIniFile: the engine's own INI document.
//
// The whole file is read into memory when the document is made (sections in file order, each with
// its "name=value" lines in file order), reads and writes work on that copy, and the whole file is
// written back, normalised, when something changed: every section that has lines as "[name]", its
// lines and an empty line, each line ending in CR LF. Comments, blank lines, lines outside
// sections, empty sections, blanks around "=" and quotes around values (by the load options) do
// not survive a write-back. Lines are read as util/line_io.h reads them: CR ends a line, LF is
// dropped, so a file with LF-only line ends is one single line.
//
// Names: section and key names compare ignoring case by the machine's ANSI case rules (the host's
// UpperCaseLocale, the same mapping CharUpperBuff applies on Windows). The fixed Windows-1251
// tables of util/case_tables.h would be wrong here: INI files hold names in the machine's own
// code page, and on a Western machine those tables would fold, for example, the division sign
// into the multiplication sign. Values are returned as stored.
//
// Speed: beside the ordered lines every section keeps an index from the upper-cased key name to
// its lines, and the document an index from the upper-cased section name to its section, so a
// read, a write or a deletion of one key costs the same whatever the size of the document. The
// first line of a name still wins, and writing keeps file order.
//
// The file: a writable document keeps its file open (read and write, others may only read) from
// loading until it is freed, so no other writer changes the file under it; a read-only document
// reads the file and closes it at once. A file that exists but cannot be opened raises
// EIniFileError "Cannot open file <name>".
//
// Writing back is crash-safe while the open handle stays the same file: the new content first
// goes, complete and synced, to "<file>.sxjournal" (written beside it and renamed into place),
// then over the file through the open handle, which is cut and synced, and then the journal is
// deleted. A journal that is still there when the file is loaded again means the rewrite was
// interrupted: when the file was changed at or after the journal's time (the rewrite had begun),
// the journal's content is the document's content, and a writable document copies it back over
// the file; an older file means the rewrite never touched it (or the file was put back from a
// copy since), and the stale journal is discarded. So is a journal whose file is gone: a rewrite
// only starts on a file that exists, so the file was deleted after it.
//
// A failed write-back is not raised: `Modified` is cleared anyway (as for every write-back), but
// UpdateFile() answers false, so callers that care can tell that the file does not hold the
// changes.
//
// Not thread-safe: one thread uses a document at a time (the INI cache of platform/ini_cache.h
// keeps documents apart between threads).
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/host.h"
#include "util/errors.h"

namespace sx {

// An INI file that exists could not be opened, or not be read to its end.
class EIniFileError : public EEngineError {
 public:
  using EEngineError::EEngineError;
};

class TqvIniFile {
 public:
  using StringList = std::vector<std::string>;
  // The lines of one section, "name=value" in file order.
  using Lines = std::list<std::string>;
  // Decides, while loading, which of two sections of the same name survives: true keeps the
  // first one (the one earlier in the file), false keeps the second. Given the user data, the
  // first section's name and both sections' lines.
  using DuplicateSectionHandler = bool (*)(intptr_t userData, const std::string& name,
                                           const Lines& first, const Lines& second);

  // Sets the options and loads the file (SetFileName). Raises EIniFileError when the file exists
  // but cannot be opened or read.
  TqvIniFile(std::string_view fileName, bool readOnly, bool skipComments,
             bool skipLinesWithoutEquals, bool trimAroundEquals, bool stripQuotes);
  // Writes the changes back (UpdateFile) and closes the file.
  virtual ~TqvIniFile();
  TqvIniFile(const TqvIniFile&) = delete;
  TqvIniFile& operator=(const TqvIniFile&) = delete;

  // The full name a document gives `fileName`: a name without folder part is taken from the
  // machine's Windows folder; a machine without one leaves it relative to the current folder.
  static std::string ExpandFileName(std::string_view fileName);
  // Whether the file (a full name) has a journal beside it: a rewrite was interrupted, and only
  // a writable document can finish it or discard it.
  static bool HasJournal(std::string_view fullFileName);
  // The name of the file's journal: the name with ".sxjournal" appended.
  static std::string JournalName(std::string_view fileName);

  // Writes the current file back, closes it, forgets every section, takes the new name (see
  // ExpandFileName) and loads that file; an empty name gives an empty document without a file.
  // Raises EIniFileError like the constructor.
  void SetFileName(std::string_view fileName);

  // Installs the handler that decides between duplicate sections at the next load (SetFileName);
  // nullptr keeps the first of each name.
  void SetDuplicateSectionHandler(DuplicateSectionHandler handler, intptr_t userData);

  const std::string& FileName() const { return fileName_; }
  bool Modified() const { return modified_; }
  bool ReadOnly() const { return readOnly_; }
  bool SkipComments() const { return skipComments_; }
  bool SkipLinesWithoutEquals() const { return skipLinesWithoutEquals_; }
  bool TrimAroundEquals() const { return trimAroundEquals_; }
  bool StripQuotes() const { return stripQuotes_; }
  // Whether the document holds its file open.
  bool HasOpenFile() const { return handle_ != nullptr; }

  // The value of the first line of the section named `key`; `def` when the section or the key is
  // missing.
  virtual std::string ReadString(std::string_view section, std::string_view key,
                                 std::string_view def);
  // With a key: sets the key's line to "key=value" (appending the line, and the section when it
  // is missing); an identical line changes nothing. An empty key with a section or value erases
  // the section; all three empty writes the file back at once.
  virtual void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // "0x"/"0X" and up to 255 hexadecimal digits, or a decimal integer; `def` for anything else.
  virtual int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def);
  virtual void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  virtual bool ReadBool(std::string_view section, std::string_view key, bool def);
  virtual void WriteBool(std::string_view section, std::string_view key, bool value);
  // Appends the name part of every line of the section ("" for a line without "=").
  virtual void ReadSection(std::string_view section, StringList& list);
  // Replaces the list with the section names in file order.
  virtual void ReadSections(StringList& list);
  // When the section exists, the list becomes its lines followed by those lines of the old list
  // whose name the section does not have (the caller's lines act as defaults); else unchanged.
  virtual void ReadSectionValues(std::string_view section, StringList& list);
  // WriteString for every "name=value" line of the list that has a name, in order. Lines without
  // "=" or with an empty name are passed over: written, an empty name would erase the section.
  virtual void WriteSectionValues(std::string_view section, const StringList& list);
  // Removes the section with its lines; nothing when it is missing.
  virtual void EraseSection(std::string_view section);
  // Removes the first line of the key. A missing section is created empty (it is never written).
  virtual void DeleteKey(std::string_view section, std::string_view key);
  // Appends "[name]", the lines and "" for every section that has lines.
  virtual void GetStrings(StringList& list);
  // Writes the document back when it is modified and writable (see the file comment); clears
  // `Modified` in every case. False when changes did not reach the file.
  virtual bool UpdateFile();

  // The 0-based position of the key's first line in the section, or -1. `lines`, when given,
  // receives the section's lines; nullptr when the section is missing and `create` is false.
  // With `create` a missing section is appended empty. Counting the position walks the section;
  // the document's own operations go through the key index instead.
  int FindKey(std::string_view section, std::string_view key, const Lines** lines, bool create);

 private:
  // The lines of one name, first one first (duplicates only come from loading).
  struct KeySlot {
    Lines::iterator first;
    std::vector<Lines::iterator> more;
  };
  struct Section {
    std::string name;
    std::string upperName;
    Lines lines;
    std::unordered_map<std::string, KeySlot> keys;  // by upper-cased name
  };
  using SectionList = std::list<Section>;

  void Load();
  void Parse(host::File& file);
  void DropDuplicateSections();
  // Whether a journal holds the document's content (see the file comment); deletes a stale one
  // when the document is writable.
  bool JournalIsCurrent();
  std::string Serialize() const;

  Section* FindSection(std::string_view name, bool create);
  // The key's slot in the section, nullptr when missing.
  KeySlot* FindSlot(Section& section, std::string_view key);
  // Appends a line to the section and indexes it under its name part.
  void AppendLine(Section& section, std::string line);

  std::string fileName_;
  std::unique_ptr<host::File> handle_;
  bool modified_ = false;
  SectionList sections_;
  std::unordered_map<std::string, SectionList::iterator> sectionIndex_;  // by upper-cased name
  bool readOnly_;
  DuplicateSectionHandler duplicateHandler_ = nullptr;
  intptr_t duplicateData_ = 0;
  bool skipComments_;
  bool skipLinesWithoutEquals_;
  bool trimAroundEquals_;
  bool stripQuotes_;
};

}  // namespace sx
