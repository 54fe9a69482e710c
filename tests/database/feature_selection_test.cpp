// Feature and install-type selection: the feature search with its parent and successor, the
// Required, Depends and Excepts rules, parent states, install types, the order of the change
// notifications, and loops and duplicate IDs that must still end.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "database/sx_classes.h"
#include "database/sx_selection.h"
#include "tests/database/hook_scope.h"

namespace sx::test {
namespace {

// A project whose conditions are answered from a table (a condition not in it holds), with the
// change notifications recorded as "feature ID STATE" and "installtype ID".
class Selection : public ::testing::Test {
 protected:
  Selection() {
    ConditionsEnabled = true;
    ConditionHook = [this](const std::string& condition, int) {
      auto found = disabled_.find(condition);
      return found == disabled_.end() || !found->second;
    };
  }

  TsxMainDatabase& Load(const std::string& xml) {
    db_.LoadFromString(xml, "");
    db_.OnFeatureStateChange = [this](TsxFeature* feature) {
      events_.push_back("feature " + feature->ID + " " + std::to_string(GetState(*feature)));
    };
    db_.OnInstallTypeChange = [this](TsxInstallType* type) {
      events_.push_back("installtype " + type->ID);
    };
    return db_;
  }
  TsxFeature& F(const char* id) {
    TsxFeature* feature = FindFeature(*db_.Features, id);
    if (!feature) throw std::runtime_error(std::string("no feature ") + id);
    return *feature;
  }
  int State(const char* id) { return GetState(F(id)); }
  void Disable(const std::string& condition, bool off = true) { disabled_[condition] = off; }
  std::vector<std::string> TakeEvents() { return std::exchange(events_, {}); }
  std::vector<std::string> EnabledTree() {
    std::vector<std::string> lines;
    ForEachEnabledFeature(*db_.Features, [&](TsxFeature& feature, int level) {
      lines.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') + feature.ID);
    });
    return lines;
  }

  HookScope hooks_;
  std::map<std::string, bool> disabled_;
  TsxMainDatabase db_;
  std::vector<std::string> events_;
};

using Lines = std::vector<std::string>;

constexpr const char* kTree = R"(<p><features>
    <feature id="a"><features>
      <feature id="b"><features><feature id="c"/></features></feature>
      <feature id="d" condition="d"/>
    </features></feature>
    <feature id="e" condition="e"/>
  </features></p>)";

TEST_F(Selection, StateComesFromSelectedAndPartial) {
  TsxFeature feature;
  EXPECT_EQ(GetState(feature), 0);
  feature.Partial = true;
  EXPECT_EQ(GetState(feature), 0);
  feature.Selected = true;
  EXPECT_EQ(GetState(feature), 2);
  feature.Partial = false;
  EXPECT_EQ(GetState(feature), 1);
}

TEST_F(Selection, FindFeatureGivesTheParentAndThePreOrderSuccessor) {
  Load(kTree);
  TsxFeature sentinel;
  TsxFeature* parent = &sentinel;
  TsxFeature* next = nullptr;
  EXPECT_EQ(FindFeature(*db_.Features, "", parent, next), &F("a"));
  EXPECT_EQ(parent, &sentinel);  // a top-level feature leaves the parent as it was
  EXPECT_EQ(next, &F("b"));
  EXPECT_EQ(FindFeature(*db_.Features, "C", parent, next), &F("c"));
  EXPECT_EQ(parent, &F("b"));
  EXPECT_EQ(next, &F("d"));
  parent = &sentinel;
  EXPECT_EQ(FindFeature(*db_.Features, "d", parent, next), &F("d"));
  EXPECT_EQ(parent, &F("a"));
  EXPECT_EQ(next, &F("e"));
  parent = &sentinel;
  EXPECT_EQ(FindFeature(*db_.Features, "e", parent, next), &F("e"));
  EXPECT_EQ(parent, &sentinel);
  EXPECT_EQ(next, nullptr);
  next = &sentinel;
  EXPECT_EQ(FindFeature(*db_.Features, "nothing", parent, next), nullptr);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(FindFeature(TsxFeatures(), "", parent, next), nullptr);

  // Following the successors from the empty ID visits every enabled feature once.
  Lines visited;
  TsxFeature* feature = FindFeature(*db_.Features, "", parent, next);
  while (feature) {
    visited.push_back(feature->ID);
    if (!next) break;
    feature = FindFeature(*db_.Features, next->ID, parent, next);
  }
  EXPECT_EQ(visited, (Lines{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(EnabledTree(), (Lines{"a", "  b", "    c", "  d", "e"}));
}

TEST_F(Selection, DisabledFeaturesAreSkippedWithTheirSubtrees) {
  Load(kTree);
  Disable("d");
  TsxFeature* parent = nullptr;
  TsxFeature* next = nullptr;
  EXPECT_EQ(FindFeature(*db_.Features, "c", parent, next)->ID, "c");
  EXPECT_EQ(next->ID, "e");
  EXPECT_EQ(FindFeature(*db_.Features, "d", parent, next), nullptr);
  EXPECT_EQ(EnabledTree(), (Lines{"a", "  b", "    c", "e"}));

  TsxFeature& a = (*db_.Features)[0];
  a.Condition = "a";
  Disable("a");
  EXPECT_EQ(FindFeature(*db_.Features, "", parent, next)->ID, "e");
  EXPECT_EQ(FindFeature(*db_.Features, "c", parent, next), nullptr);
  EXPECT_EQ(FirstEnabled(*db_.Features, 0)->ID, "e");
  Disable("e");
  EXPECT_EQ(FirstEnabled(*db_.Features, 0), nullptr);
  EXPECT_EQ(FindFeature(*db_.Features, "", parent, next), nullptr);
  EXPECT_EQ(EnabledTree(), Lines{});

  // A disabled feature is neither switched nor updated.
  SetSelected(a, true);
  EXPECT_FALSE(a.Selected);
  a.Selected = true;
  EXPECT_EQ(UpdateState(a), 0);
  EXPECT_TRUE(a.Selected);
}

TEST_F(Selection, InstallTypesAreFoundAmongTheEnabledOnes) {
  Load(R"(<p><installtypes>
      <installtype id="t1" condition="off"/><installtype id="t2"/>
      <installtype id="t3" condition="off"/><installtype id="t4"/>
    </installtypes></p>)");
  Disable("off");
  TsxInstallType* next = nullptr;
  EXPECT_EQ(FindInstallType(*db_.InstallTypes, "", next)->ID, "t2");
  EXPECT_EQ(next->ID, "t4");
  EXPECT_EQ(FindInstallType(*db_.InstallTypes, "T4", next)->ID, "t4");
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(FindInstallType(*db_.InstallTypes, "t1", next), nullptr);
  EXPECT_EQ(FirstEnabled(*db_.InstallTypes, 2)->ID, "t4");
  EXPECT_EQ(FirstEnabled(*db_.InstallTypes, 4), nullptr);
}

TEST_F(Selection, ExceptsSwitchOffEvenRequiredFeaturesForTheMomentOnly) {
  Load(R"(<p><features>
      <feature id="A"><excepts><feature id="B"/></excepts></feature>
      <feature id="B" required="1"/>
    </features></p>)");
  SetSelected(F("B"), true);
  ASSERT_EQ(State("B"), 1);
  TakeEvents();
  SetSelected(F("A"), true);
  EXPECT_EQ(State("B"), 0);
  EXPECT_EQ(State("A"), 1);
  EXPECT_TRUE(F("B").Required);
  EXPECT_EQ(TakeEvents(), (Lines{"feature B 0", "feature A 1"}));
  // The exclusion lasted for that operation only.
  SetSelected(F("B"), true);
  EXPECT_EQ(State("B"), 1);
}

constexpr const char* kDependsExcepts = R"(<p>
    <features>
      <feature id="A"><depends><feature id="B"/></depends></feature>
      <feature id="B"/>
      <feature id="C"><excepts><feature id="b"/></excepts></feature>
    </features>
    <installtypes>
      <installtype id="AthenC"><features><feature id="A"/><feature id="C"/></features></installtype>
      <installtype id="CthenA"><features><feature id="C"/><feature id="A"/></features></installtype>
    </installtypes></p>)";

TEST_F(Selection, InstallTypeOrderDecidesBetweenDependsAndExcepts) {
  Load(kDependsExcepts);
  // A selects B; C switches B off, and with it A, which depends on B.
  ASSERT_TRUE(SetActiveInstallType(db_, "AthenC"));
  EXPECT_EQ(State("A"), 0);
  EXPECT_EQ(State("B"), 0);
  EXPECT_EQ(State("C"), 1);
  EXPECT_EQ(TakeEvents(), (Lines{"feature B 1", "feature A 1", "feature A 0", "feature B 0",
                                 "feature C 1", "installtype AthenC"}));
  // C first puts B among the excepted IDs, so A's dependency does not bring it back.
  ASSERT_TRUE(SetActiveInstallType(db_, "CthenA"));
  EXPECT_EQ(State("C"), 1);
  EXPECT_EQ(State("A"), 1);
  EXPECT_EQ(State("B"), 0);
  EXPECT_EQ(TakeEvents(), (Lines{"feature C 0", "feature C 1", "feature A 1", "installtype CthenA"}));
}

TEST_F(Selection, DeselectingADependencyDeselectsItsDependents) {
  Load(R"(<p><features>
      <feature id="A" required="1"><depends><feature id="B"/></depends>
        <features><feature id="A1"/></features></feature>
      <feature id="B"/>
      <feature id="Other"/>
    </features></p>)");
  SetSelected(F("A"), true);
  EXPECT_EQ(TakeEvents(), (Lines{"feature B 1", "feature A 1", "feature A1 1"}));
  SetSelected(F("B"), false);
  EXPECT_EQ(State("A"), 0);
  EXPECT_EQ(State("A1"), 0);
  EXPECT_EQ(State("B"), 0);
  EXPECT_TRUE(F("A").Required);
  EXPECT_EQ(TakeEvents(), (Lines{"feature A 0", "feature A1 0", "feature B 0"}));
  // A Required feature asked directly stays selected.
  SetSelected(F("A"), false);
  EXPECT_EQ(State("A"), 1);
  EXPECT_EQ(State("B"), 1);
  EXPECT_FALSE(SetFeatureState(db_, "a", false));
  EXPECT_EQ(State("A"), 1);
  EXPECT_TRUE(SetFeatureState(db_, "Other", true));
  EXPECT_FALSE(SetFeatureState(db_, "Missing", true));
}

TEST_F(Selection, ParentStatesFollowTheirSubFeatures) {
  Load(R"(<p><features>
      <feature id="P"><features><feature id="X"/><feature id="Y" condition="y"/></features></feature>
      <feature id="Q"><features><feature id="R" required="1"/><feature id="S"/></features></feature>
      <feature id="H"><features><feature id="Hidden" condition="y"/></features></feature>
    </features></p>)");
  Disable("y");
  // A disabled sibling counts as not selected: the parent is partial.
  EXPECT_TRUE(SetFeatureState(db_, "P", true));
  EXPECT_EQ(State("X"), 1);
  EXPECT_EQ(State("P"), 2);

  SetFeatureState(db_, "Q", true);
  EXPECT_EQ(State("Q"), 1);
  TakeEvents();
  // Deselecting a parent deselects its sub-features except Required ones; the update then
  // finds the parent partly selected.
  EXPECT_FALSE(SetFeatureState(db_, "Q", false));
  EXPECT_EQ(State("R"), 1);
  EXPECT_EQ(State("S"), 0);
  EXPECT_EQ(State("Q"), 2);
  EXPECT_EQ(TakeEvents(), (Lines{"feature Q 0", "feature S 0", "feature Q 2"}));

  // Sub-features that are all disabled leave the parent as it was switched.
  EXPECT_TRUE(SetFeatureState(db_, "H", true));
  EXPECT_EQ(State("H"), 1);
  EXPECT_TRUE(SetFeatureState(db_, "H", false));
  EXPECT_EQ(State("H"), 0);

  EXPECT_EQ(CombinedState(TsxFeatures()), 0);
}

TEST_F(Selection, CombinedStateUpdatesEveryFeatureOfTheList) {
  Load(R"(<p><features>
      <feature id="P1"><features><feature id="x1"/><feature id="y1"/></features></feature>
      <feature id="P2"><features><feature id="x2"/></features></feature>
    </features></p>)");
  F("x1").Selected = true;
  F("y1").Selected = true;
  EXPECT_EQ(CombinedState(*db_.Features), 2);
  EXPECT_EQ(State("P1"), 1);
  EXPECT_EQ(State("P2"), 0);
  F("x2").Selected = true;
  EXPECT_EQ(CombinedState(*db_.Features), 1);
  EXPECT_EQ(TakeEvents(), (Lines{"feature P1 1", "feature P2 1"}));
}

TEST_F(Selection, ActivatingAnInstallType) {
  Load(R"(<p>
      <features>
        <feature id="Main" required="1"><excepts><feature id="Lite"/></excepts>
          <features><feature id="Help"/><feature id="Samples"/></features></feature>
        <feature id="Lite"/>
        <feature id="Extra"/>
      </features>
      <installtypes>
        <installtype id="Full"><features><feature id="Main"/><feature id="Help"/></features></installtype>
        <installtype id="Small"><features><feature id="Extra"/></features></installtype>
        <installtype id="Hidden" condition="hidden"><features><feature id="Lite"/></features></installtype>
      </installtypes></p>)");
  Disable("hidden");
  EXPECT_TRUE(SetActiveInstallType(db_, "full"));
  EXPECT_EQ(db_.InstallTypes->Active, &(*db_.InstallTypes)[0]);
  EXPECT_EQ(db_.ActiveInstallType, "Full");
  EXPECT_EQ(TakeEvents(), (Lines{"feature Main 1", "feature Help 1", "feature Samples 1",
                                 "installtype Full"}));

  SetFeatureState(db_, "Samples", false);
  EXPECT_EQ(State("Main"), 2);
  TakeEvents();
  // Every top-level feature is deselected first; Required ones come out selected again.
  EXPECT_TRUE(SetActiveInstallType(db_, "Small"));
  EXPECT_EQ(State("Main"), 1);
  EXPECT_EQ(State("Samples"), 1);
  EXPECT_EQ(State("Extra"), 1);
  EXPECT_EQ(TakeEvents(), (Lines{"feature Main 1", "feature Samples 1", "feature Extra 1",
                                 "installtype Small"}));

  // Missing and disabled install types change nothing.
  EXPECT_FALSE(SetActiveInstallType(db_, "Hidden"));
  EXPECT_FALSE(SetActiveInstallType(db_, "Nothing"));
  EXPECT_EQ(db_.ActiveInstallType, "Small");
  EXPECT_EQ(db_.InstallTypes->Active->ID, "Small");
  EXPECT_EQ(TakeEvents(), Lines{});
}

TEST_F(Selection, LoopsOfDependsAndExceptsEnd) {
  Load(R"(<p><features>
      <feature id="A"><depends><feature id="B"/></depends></feature>
      <feature id="B"><depends><feature id="A"/></depends></feature>
      <feature id="Self"><depends><feature id="self"/></depends><excepts><feature id="Self"/></excepts></feature>
      <feature id="X"><excepts><feature id="Y"/></excepts></feature>
      <feature id="Y"><excepts><feature id="X"/></excepts></feature>
      <feature id="M"><depends><feature id="N"/></depends></feature>
      <feature id="N"><excepts><feature id="M"/></excepts></feature>
    </features></p>)");
  EXPECT_TRUE(SetFeatureState(db_, "A", true));
  EXPECT_EQ(State("B"), 1);
  EXPECT_TRUE(SetFeatureState(db_, "B", false));
  EXPECT_EQ(State("A"), 0);

  // Self excepts and needs itself: the exclusion switches it off inside the call, and the call
  // itself sets it last.
  EXPECT_TRUE(SetFeatureState(db_, "Self", true));
  EXPECT_EQ(State("Self"), 1);
  EXPECT_TRUE(SetFeatureState(db_, "Self", false));

  EXPECT_TRUE(SetFeatureState(db_, "X", true));
  EXPECT_EQ(State("Y"), 0);
  EXPECT_TRUE(SetFeatureState(db_, "Y", true));
  EXPECT_EQ(State("X"), 0);

  // M selects N, N's exclusion switches M off inside that call, then M's own call selects it.
  EXPECT_TRUE(SetFeatureState(db_, "M", true));
  EXPECT_EQ(State("N"), 1);
}

TEST_F(Selection, LongDependencyRingEnds) {
  std::string xml = "<p><features>";
  const int count = 200;
  for (int i = 0; i < count; ++i)
    xml += "<feature id=\"f" + std::to_string(i) + "\"><depends><feature id=\"f" +
           std::to_string((i + 1) % count) + "\"/></depends></feature>";
  xml += "</features></p>";
  Load(xml);
  EXPECT_TRUE(SetFeatureState(db_, "f0", true));
  EXPECT_EQ(State("f199"), 1);
  EXPECT_TRUE(SetFeatureState(db_, "f100", false));
  for (int i = 0; i < count; i += 37) EXPECT_EQ(GetState((*db_.Features)[i]), 0) << i;
}

TEST_F(Selection, DuplicateIDsEnd) {
  Load(R"(<p><features>
      <feature id="dup"><features><feature id="DUP"><depends><feature id="dup"/></depends></feature></features></feature>
      <feature id="user"><depends><feature id="Dup"/></depends></feature>
    </features></p>)");
  EXPECT_EQ(EnabledTree(), (Lines{"dup", "  DUP", "user"}));
  EXPECT_TRUE(SetFeatureState(db_, "user", true));
  EXPECT_EQ(GetState((*db_.Features)[0]), 1);
  EXPECT_TRUE(SetFeatureState(db_, "dup", false));
  EXPECT_EQ(State("user"), 0);
  EXPECT_EQ(GetState((*(*db_.Features)[0].Features)[0]), 0);
}

TEST_F(Selection, AnExceptionEndsTheOperationCleanly) {
  Load(R"(<p><features>
      <feature id="A"><excepts><feature id="B"/></excepts></feature>
      <feature id="B" required="1"/>
    </features></p>)");
  db_.OnFeatureStateChange = [](TsxFeature* feature) {
    if (feature->ID == "A") throw std::runtime_error("hook failed");
  };
  SetSelected(F("B"), true);
  EXPECT_THROW(SetSelected(F("A"), true), std::runtime_error);
  EXPECT_TRUE(F("B").Required);
  db_.OnFeatureStateChange = nullptr;
  // No exclusion of the failed operation is left over.
  SetSelected(F("B"), true);
  EXPECT_EQ(State("B"), 1);
}

TEST_F(Selection, FeaturesOutsideARootSwitchThemselvesAndTheirSubFeatures) {
  TsxFeature feature;
  feature.ID = "alone";
  feature.Depends->AddNew().ID = "nowhere";
  TsxFeature& sub = feature.Features->AddNew();
  SetSelected(feature, true);
  EXPECT_EQ(GetState(feature), 1);
  EXPECT_TRUE(sub.Selected);
  SetSelected(feature, false);
  EXPECT_FALSE(sub.Selected);
}

}  // namespace
}  // namespace sx::test
