#include "util/line_io.h"

#include "host/ini_lines.h"

namespace sx {
namespace {

constexpr size_t kBlockSize = 64 * 1024;

}  // namespace

LineReader::LineReader(host::File& file) : file_(file), buffer_(kBlockSize) {
  position_ = bufferStart_ = file_.Position().value_or(0);
}

bool LineReader::Refill() {
  if (atEnd_ || failed_) return false;
  bufferStart_ += end_;
  begin_ = end_ = 0;
  auto n = file_.Read(buffer_.data(), buffer_.size());
  if (!n) {
    failed_ = true;
    return false;
  }
  if (*n == 0) {
    atEnd_ = true;
    return false;
  }
  end_ = *n;
  return true;
}

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  if (begin_ == end_ && !Refill()) return false;  // no byte left: no further line
  for (;;) {
    bool ended = false;
    begin_ += host::TakeIniLine({buffer_.data() + begin_, end_ - begin_}, line, &ended);
    if (ended) {
      position_ = bufferStart_ + begin_;
      return true;
    }
    if (!Refill()) {
      if (failed_) {
        line.clear();
        return false;
      }
      position_ = bufferStart_ + end_;  // the last line ends at the end of the file
      return true;
    }
  }
}

bool LineReader::Finish() { return file_.Seek(position_); }

bool WriteLine(host::File& file, std::string_view line) {
  std::string text;
  text.reserve(line.size() + 2);
  AppendLine(text, line);
  return file.Write(text.data(), text.size());
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append("\r\n");
}

}  // namespace sx
