// The terminal the wizard talks to: standard input and output when both are terminals. Keys are
// read one at a time without echo while a dialog runs (RawMode), and the screen is written with
// plain ANSI sequences. The system's part lives in terminal_posix.cpp and terminal_win32.cpp.
#pragma once

#include <memory>
#include <string>

namespace sxwizard {

enum class KeyKind { kChar, kEnter, kEscape, kUp, kDown, kLeft, kRight, kBackspace, kInterrupt, kEnd };

struct Key {
  KeyKind kind = KeyKind::kEnd;
  char ch = 0;  // for kChar
};

// Decodes the bytes of one key press as terminals send them ("\x1b[A" is Up). `used` receives
// the number of bytes taken; an incomplete escape sequence counts as the Escape key.
Key DecodeKey(const std::string& bytes, size_t& used);

class Terminal {
 public:
  // True when standard input and output are both terminals.
  static bool Present();

  // Keys come unbuffered and unechoed while an instance lives; the settings are restored after.
  class RawMode {
   public:
    RawMode();
    ~RawMode();
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

   private:
    struct Saved;  // the terminal's settings before (terminal_posix.cpp, terminal_win32.cpp)
    std::unique_ptr<Saved> saved_;
  };

  // The next key; kEnd when input ended or failed. Call inside a RawMode.
  static Key ReadKey();
  // True once standard input has ended: nobody is left to answer, so dialogs give up.
  static bool InputEnded();
  static int Width();  // columns, 80 when unknown
  static int Height();  // rows, 24 when unknown
  static void Write(const std::string& text);
  static void Clear();  // clears the screen and homes the cursor

 private:
  // Reads what is waiting, at least one byte ("" at the end of input); after an Escape, waits
  // briefly for the rest of a sequence, because a lone Escape and an arrow key start alike.
  static std::string ReadPending();
};

}  // namespace sxwizard
