// The terminal wizard's pure logic: the feature tree with its sizes, the texts it draws, the keys
// it reads and the destination check.
#include <gtest/gtest.h>

#include "plugins/wizard/destination.h"
#include "plugins/wizard/feature_tree.h"
#include "plugins/wizard/screen_text.h"
#include "plugins/wizard/terminal.h"

namespace sxwizard {
namespace {

FeatureRow Row(const std::string& id, const std::string& parent, FeatureState state) {
  FeatureRow row;
  row.id = id;
  row.name = id;
  row.parentId = parent;
  row.state = state;
  return row;
}

// app > {docs > {api}, samples}, tools; "shared" belongs to docs and to tools.
FeatureTree Tree() {
  FeatureTree tree;
  tree.Add(Row("app", "", FeatureState::kPartial));
  tree.Add(Row("docs", "App", FeatureState::kOn));  // parents match ignoring case
  tree.Add(Row("api", "docs", FeatureState::kOff));
  tree.Add(Row("samples", "app", FeatureState::kOff));
  tree.Add(Row("tools", "", FeatureState::kOn));
  return tree;
}

SizeFacts Facts() {
  return ParseSizeFacts({{"core", "1000"}, {"Manual", "2048"}, {"apiref", "4096"}, {"shared", "300"},
                         {"demo", "500"}, {"broken", "12x"}, {"empty", ""}},
                        {{"app", "core"}, {"DOCS", " manual , shared "}, {"api", "apiref"},
                         {"samples", "demo,missing"}, {"tools", "shared,,broken"}});
}

TEST(WizardFeatureTree, DepthsSizesAndTheSpaceTheSelectionNeeds) {
  const FeatureTree tree = Tree();
  const SizeFacts facts = Facts();
  ASSERT_EQ(tree.Rows().size(), 5u);
  EXPECT_EQ(tree.Rows()[0].depth, 0);
  EXPECT_EQ(tree.Rows()[1].depth, 1);
  EXPECT_EQ(tree.Rows()[2].depth, 2);
  EXPECT_EQ(tree.Rows()[3].depth, 1);
  EXPECT_EQ(tree.Rows()[4].depth, 0);
  // A feature whose parent is unknown stands at the top.
  FeatureTree orphan;
  orphan.Add(Row("lost", "nowhere", FeatureState::kOn));
  EXPECT_EQ(orphan.Rows()[0].depth, 0);

  EXPECT_TRUE(facts.Known());
  EXPECT_FALSE(SizeFacts{}.Known());
  // Unparsable sizes are left out; unknown components weigh nothing.
  EXPECT_EQ(facts.componentBytes.count("BROKEN"), 0u);
  EXPECT_EQ(facts.componentBytes.count("EMPTY"), 0u);
  EXPECT_EQ(tree.OwnBytes(1, facts), 2048u + 300u);
  EXPECT_EQ(tree.OwnBytes(3, facts), 500u);
  EXPECT_EQ(tree.OwnBytes(4, facts), 300u);
  // A branch is the feature and everything below it, and stops at the next sibling.
  EXPECT_EQ(tree.BranchBytes(0, facts), 1000u + 2348u + 4096u + 500u);
  EXPECT_EQ(tree.BranchBytes(1, facts), 2348u + 4096u);
  EXPECT_EQ(tree.BranchBytes(2, facts), 4096u);

  // Selected (on or partly on): app, docs, tools. "shared" of docs and tools counts once.
  EXPECT_EQ(tree.NeededBytes(facts), 1000u + 2048u + 300u);
  FeatureTree changed = tree;
  changed.SetState(1, FeatureState::kOff);
  EXPECT_EQ(changed.NeededBytes(facts), 1000u + 300u);  // tools still brings "shared"
  changed.SetState(2, FeatureState::kOn);
  EXPECT_EQ(changed.NeededBytes(facts), 1000u + 300u + 4096u);
  EXPECT_EQ(changed.NeededBytes(SizeFacts{}), 0u);
}

TEST(WizardScreenText, SizesBarsProgressAndFeatureLines) {
  EXPECT_EQ(FormatBytes(0), "0 B");
  EXPECT_EQ(FormatBytes(1023), "1023 B");
  EXPECT_EQ(FormatBytes(1024), "1.00 KB");
  EXPECT_EQ(FormatBytes(1536), "1.50 KB");
  EXPECT_EQ(FormatBytes(12 * 1024 * 1024 + 100), "12.0 MB");
  EXPECT_EQ(FormatBytes(345ull << 30), "345 GB");
  EXPECT_EQ(FormatBytes(3ull << 40), "3.00 TB");

  EXPECT_EQ(Bar(50, 10), "[#####.....]  50%");
  EXPECT_EQ(Bar(-5, 4), "[....]   0%");   // the engine's numbers are clamped
  EXPECT_EQ(Bar(250, 4), "[####] 100%");
  EXPECT_EQ(Bar(99, 10), "[#########.]  99%");

  const std::string path = "C:\\Program Files\\A very long product name\\bin\\library-with-a-long-name.dll";
  const std::string lines = ProgressLines(path, 40, 7, 40);
  const size_t first = lines.find('\n'), second = lines.find('\n', first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(lines.substr(0, first), "..." + path.substr(path.size() - 37));  // the file name stays visible
  EXPECT_EQ(lines.substr(first + 1, 6), "File  ");
  EXPECT_NE(lines.find(" 40%"), std::string::npos);
  EXPECT_NE(lines.find("Total "), std::string::npos);
  EXPECT_NE(lines.find("  7%"), std::string::npos);
  for (size_t start = 0; start <= lines.size();) {
    const size_t end = lines.find('\n', start);
    EXPECT_LE((end == std::string::npos ? lines.size() : end) - start, 40u);
    if (end == std::string::npos) break;
    start = end + 1;
  }

  FeatureRow row = Row("docs", "app", FeatureState::kPartial);
  row.name = "Documentation";
  row.depth = 1;
  row.required = true;
  EXPECT_EQ(FeatureLine(row, true, "2.00 KB", 50), "> " "  [-] Documentation (required)" + std::string(11, ' ') + "2.00 KB");
  row.state = FeatureState::kOn;
  row.required = false;
  EXPECT_EQ(FeatureLine(row, false, "", 20).substr(0, 9), "    [x] D");
  EXPECT_EQ(FeatureLine(row, false, "1 B", 20).size(), 20u);
  row.state = FeatureState::kOff;
  EXPECT_NE(FeatureLine(row, false, "", 40).find("[ ] Documentation"), std::string::npos);
  EXPECT_EQ(FitRight("abcdef", 5), "ab...");
  EXPECT_EQ(FitLeft("abcdef", 2), "ef");
}

TEST(WizardKeys, TerminalSequencesBecomeKeys) {
  struct Case {
    std::string bytes;
    KeyKind kind;
    char ch;
    size_t used;
  };
  const Case cases[] = {
      {"\r", KeyKind::kEnter, 0, 1},       {"\n", KeyKind::kEnter, 0, 1},
      {" ", KeyKind::kChar, ' ', 1},       {"ab", KeyKind::kChar, 'a', 1},
      {"\x7f", KeyKind::kBackspace, 0, 1}, {"\x08", KeyKind::kBackspace, 0, 1},
      {"\x03", KeyKind::kInterrupt, 0, 1}, {"\x1b", KeyKind::kEscape, 0, 1},
      {"\x1b[A", KeyKind::kUp, 0, 3},      {"\x1b[Bx", KeyKind::kDown, 0, 3},
      {"\x1bOC", KeyKind::kRight, 0, 3},   {"\x1b[D", KeyKind::kLeft, 0, 3},
      {"\x1b[5~", KeyKind::kChar, 0, 4},   {"\x1bx", KeyKind::kEscape, 0, 1},
      {"\x1b[1;", KeyKind::kEscape, 0, 1}, {"", KeyKind::kEnd, 0, 0},
  };
  for (const Case& c : cases) {
    size_t used = 99;
    const Key key = DecodeKey(c.bytes, used);
    EXPECT_EQ(key.kind, c.kind) << testing::PrintToString(c.bytes);
    EXPECT_EQ(key.ch, c.ch) << testing::PrintToString(c.bytes);
    EXPECT_EQ(used, c.used) << testing::PrintToString(c.bytes);
  }
}

TEST(WizardDestination, FullPathsWithoutRefusedCharacters) {
  EXPECT_EQ(DestinationProblem("C:\\Program Files\\App"), "");
  EXPECT_EQ(DestinationProblem("d:\\"), "");
  EXPECT_EQ(DestinationProblem("\\\\server\\share\\app"), "");
  EXPECT_NE(DestinationProblem(""), "");
  EXPECT_NE(DestinationProblem("App"), "");
  EXPECT_NE(DestinationProblem("C:App"), "");
  EXPECT_NE(DestinationProblem("\\App"), "");
  EXPECT_NE(DestinationProblem("1:\\App"), "");
  EXPECT_EQ(DestinationProblem("C:\\A|B"), "The folder name must not contain \"|\".");
  EXPECT_NE(DestinationProblem("C:\\a:b"), "");
  EXPECT_NE(DestinationProblem("C:\\a/b"), "");
  EXPECT_NE(DestinationProblem("C:\\a\tb"), "");
}

}  // namespace
}  // namespace sxwizard
