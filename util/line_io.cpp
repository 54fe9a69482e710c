#include "util/line_io.h"

#include <cstring>

namespace sx {
namespace {

constexpr size_t kBlockSize = 64 * 1024;

// Appends the bytes to `out`, leaving out every LF.
void AppendWithoutLf(std::string& out, const char* data, size_t count) {
  while (count > 0) {
    const char* lf = static_cast<const char*>(std::memchr(data, '\n', count));
    size_t take = lf ? static_cast<size_t>(lf - data) : count;
    out.append(data, take);
    if (!lf) return;
    data += take + 1;
    count -= take + 1;
  }
}

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
    const char* data = buffer_.data() + begin_;
    const size_t count = end_ - begin_;
    const char* cr = static_cast<const char*>(std::memchr(data, '\r', count));
    const size_t take = cr ? static_cast<size_t>(cr - data) : count;
    AppendWithoutLf(line, data, take);
    if (cr) {
      begin_ += take + 1;
      position_ = bufferStart_ + begin_;
      return true;
    }
    begin_ = end_;
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
