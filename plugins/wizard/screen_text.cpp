#include "plugins/wizard/screen_text.h"

#include <algorithm>

namespace sxwizard {

int ClampPercent(long long percent) { return static_cast<int>(std::clamp<long long>(percent, 0, 100)); }

std::string Bar(int percent, int cells) {
  percent = ClampPercent(percent);
  cells = std::max(cells, 1);
  const int filled = percent * cells / 100;
  std::string text = "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] ";
  const std::string number = std::to_string(percent);
  return text + std::string(3 - number.size(), ' ') + number + "%";
}

std::string FitLeft(const std::string& text, int width) {
  if (width <= 0) return "";
  if (static_cast<int>(text.size()) <= width) return text;
  if (width <= 3) return text.substr(text.size() - width);
  return "..." + text.substr(text.size() - (width - 3));
}

std::string FitRight(const std::string& text, int width) {
  if (width <= 0) return "";
  if (static_cast<int>(text.size()) <= width) return text;
  if (width <= 3) return text.substr(0, width);
  return text.substr(0, width - 3) + "...";
}

std::string ProgressLines(const std::string& file, int filePercent, int totalPercent, int width) {
  width = std::max(width, 20);
  const std::string fileLabel = "File  ";
  const std::string totalLabel = "Total ";
  const int cells = std::max(10, std::min(50, width - static_cast<int>(fileLabel.size()) - 8));
  std::string out = FitLeft(file, width) + "\n";
  out += FitRight(fileLabel + Bar(filePercent, cells), width) + "\n";
  out += FitRight(totalLabel + Bar(totalPercent, cells), width);
  return out;
}

std::string FeatureLine(const FeatureRow& row, bool cursor, const std::string& size, int width) {
  const char* box = row.state == FeatureState::kOn ? "[x] " : row.state == FeatureState::kPartial ? "[-] " : "[ ] ";
  std::string left = std::string(cursor ? "> " : "  ") + std::string(2 * row.depth, ' ') + box +
                     (row.name.empty() ? row.id : row.name);
  if (row.required) left += " (required)";
  const int room = width - static_cast<int>(size.size()) - 1;
  left = FitRight(left, std::max(room, 1));
  const int gap = std::max(1, width - static_cast<int>(left.size()) - static_cast<int>(size.size()));
  return left + std::string(gap, ' ') + size;
}

}  // namespace sxwizard
