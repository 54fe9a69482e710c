// Texts the wizard draws, made without touching the terminal: the progress bar of the file
// installation, the feature tree's lines, and the fitting of texts into the terminal's width.
#pragma once

#include <string>

#include "plugins/wizard/feature_tree.h"

namespace sxwizard {

// Clamps a per-cent value from the engine to 0..100.
int ClampPercent(long long percent);

// "[##########..........]  50%" with `cells` cells between the brackets.
std::string Bar(int percent, int cells);

// The progress block: the current file (shortened from the left to fit) with its bar, and the
// bar of the whole stage: three lines, each at most `width` columns.
std::string ProgressLines(const std::string& file, int filePercent, int totalPercent, int width);

// One line of the feature tree: cursor mark, indent, check box ([x] on, [-] partly on, [ ] off),
// name, "(required)" and the branch's size at the right edge.
std::string FeatureLine(const FeatureRow& row, bool cursor, const std::string& size, int width);

// The text cut to `width` columns; a cut path keeps its end ("...\folder\file.txt").
std::string FitLeft(const std::string& text, int width);
std::string FitRight(const std::string& text, int width);

}  // namespace sxwizard
