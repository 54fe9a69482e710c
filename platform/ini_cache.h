// The INI document cache: every INI access of the engine (INI items, INI variables, the install
// log, rollback) goes through these functions, which keep one TqvIniFile (util/ini_file.h) per
// file open between calls, so many reads and writes of one file cost one load.
//
// Documents are found by the upper-cased full name of their file (a name without folder part is
// in the Windows folder, as TqvIniFile takes it; a relative name is completed with the current
// folder), so "app.ini", "C:\WINDOWS\App.ini" and "C:\windows\sub\..\app.ini" share one document.
// Each is made with the load options current at that moment: comments, lines without "=" and
// blanks around "=" are always dropped; quotes around values are stripped while IniStripQuotes()
// is on, which it is until the main flow switches it off at its beginning.
//
// Reads open a document read-only, writes open it writable: a cached read-only document is freed
// and loaded afresh when a write needs the file (a writable one also serves reads). A file with
// a rewrite journal beside it is always loaded writable, so the first access of any kind
// finishes the interrupted rewrite or discards the stale journal. Changes reach
// the file when the document is freed (IniCloseFile, IniCloseAll) or flushed (an IniWriteString
// with empty section, key and value).
//
// Like the registry functions, none of these raises: a file that exists but cannot be opened
// reads as empty, and writes to it report false.
//
// Threads: the copy thread (install log, shared files) and the main thread (plug-in commands that
// read INI variables or add log records while the copy thread runs) may both reach the cache.
// One lock guards the cache and every operation on a cached document, so the two never meet in
// one document. The document IniOpenCached returns is not guarded: use it only while no other
// thread uses the cache, and not after IniCloseFile or IniCloseAll.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "util/ini_file.h"

namespace sx {

// The full path under which the cache keeps the file's document: a name without folder part is
// in the Windows folder, a relative one is completed with the current folder. "" for "".
std::string IniFullFileName(std::string_view fileName);

// Whether documents opened from now on strip quotes around values (on at start-up).
void SetIniStripQuotes(bool strip);
bool IniStripQuotes();

// The cached document of the file, loaded first when it is not cached (or cached read-only and a
// writable one is asked for). nullptr when the file exists but cannot be opened.
TqvIniFile* IniOpenCached(std::string_view fileName, bool readOnly);

// The value of the key; `def` when the section, the key or the file is missing.
std::string IniReadString(std::string_view fileName, std::string_view section,
                          std::string_view key, std::string_view def);
// Replaces the list with the file's section names (empty when the file is missing).
void IniReadSectionNames(std::string_view fileName, std::vector<std::string>& list);
// Replaces the list with the key names of the section (empty when it is missing).
void IniReadKeyNames(std::string_view fileName, std::string_view section,
                     std::vector<std::string>& list);
// The section's "name=value" lines followed by the lines of the list whose names the section
// does not have; the list stays as it is when the section is missing.
void IniReadSectionValues(std::string_view fileName, std::string_view section,
                          std::vector<std::string>& list);
// TqvIniFile::WriteString on the writable document. False when the file cannot be opened, and
// for a flush (section, key and value empty) when the file could not be written.
bool IniWriteString(std::string_view fileName, std::string_view section, std::string_view key,
                    std::string_view value);
// Removes the key from the section of the writable document.
void IniDeleteKey(std::string_view fileName, std::string_view section, std::string_view key);
// For every line: the text before the first "=" is the key (the whole line without one), the
// text after it the value; written with IniWriteString. A line whose key is empty is passed over:
// written, it would erase the section. False when a write failed.
bool IniWriteSectionValues(std::string_view fileName, std::string_view section,
                           const std::vector<std::string>& list);
// Frees the cached document of the file, if any, writing its changes. False when changes could
// not be written.
bool IniCloseFile(std::string_view fileName);
// Frees every cached document, writing their changes, and empties the cache. False when a
// document's changes could not be written.
bool IniCloseAll();
// The same; the files that could not be written are added to `failed`.
bool IniCloseAll(std::vector<std::string>& failed);

}  // namespace sx
