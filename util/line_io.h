// Text lines of the engine's INI-style files, read and written through a host file.
//
// A line ends at CR; every LF is dropped wherever it stands, so CR LF and LF CR both end a line
// once, and a file that uses LF alone is one single line. The last line ends at the end of the
// file; a CR that is the very last byte ends the last line and starts no further one. Written
// lines end in CR LF.
//
// Reading is buffered: `LineReader` takes the file in large blocks, but after `Finish()` the file
// position is where reading line by line would have left it, just after the CR of the last line
// returned (or at the end of the file). Lines may hold any byte, NUL included, and be of any
// length.
//
// Not thread-safe; one reader per file at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace sx {

class LineReader {
 public:
  // Reads from the file's current position.
  explicit LineReader(host::File& file);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its CR and without any LF. False at the end of the file, and when the
  // file could not be read (then `Failed()` is true); `line` is then empty.
  bool ReadLine(std::string& line);

  bool Failed() const { return failed_; }

  // Moves the file position to just after the last line returned. False when the seek failed.
  bool Finish();

 private:
  // Reads the next block; false at the end of the file or on failure.
  bool Refill();

  host::File& file_;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;  // unread bytes of the buffer
  uint64_t bufferStart_ = 0;    // file position of buffer_[0]
  uint64_t position_ = 0;       // file position just after the last line returned
  bool atEnd_ = false;
  bool failed_ = false;
};

// Writes the line followed by CR LF. False when the write failed.
bool WriteLine(host::File& file, std::string_view line);

// Appends the line followed by CR LF to `out` (for building a whole file before one write).
void AppendLine(std::string& out, std::string_view line);

}  // namespace sx
