// Process-wide settings of the XML reader and writer, and of the object mapping on top of it.
//
// The engine switches PreserveAttributeWhitespace on at start-up, before any document is read;
// every other setting keeps its initial value. A parse reads the settings once when it starts.
#pragma once

#include <array>
#include <string>

namespace sx {

enum class TXMLIndentMode { imNone, imTabs, imSpaces };

struct TXMLSettings {
  TXMLIndentMode IndentMode = TXMLIndentMode::imTabs;  // one TAB per nesting level
  int IndentSize = 3;                                  // spaces per level with imSpaces
  bool PreserveTextWhitespace = false;       // off: text runs of blanks collapse to one
  bool PreserveAttributeWhitespace = false;  // off: runs of blanks in values collapse to one
  bool AllowUnquotedValues = false;          // on: name="value" may be written name=value
  bool SkipTextNodes = false;
  bool SkipCommentNodes = false;
  bool LowerCaseNames = true;                // element names are folded to lower case
  bool OmitDefaultValues = true;             // object mapping: values equal to the default are not written
  std::array<std::string, 2> BooleanNames{"False", "True"};
  std::array<std::string, 2> BooleanTexts{"0", "1"};  // how Booleans are written (false, true)
};

// The settings in force for this process.
TXMLSettings& XMLSettings();

// Changes the settings for the lifetime of the object and restores the previous ones after it.
class TXMLSettingsScope {
 public:
  TXMLSettingsScope() : saved_(XMLSettings()) {}
  ~TXMLSettingsScope() { XMLSettings() = saved_; }
  TXMLSettingsScope(const TXMLSettingsScope&) = delete;
  TXMLSettingsScope& operator=(const TXMLSettingsScope&) = delete;
  TXMLSettings& operator*() { return XMLSettings(); }
  TXMLSettings* operator->() { return &XMLSettings(); }

 private:
  TXMLSettings saved_;
};

}  // namespace sx
