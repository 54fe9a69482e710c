#include "database/sx_variable.h"

#include "util/case_tables.h"

namespace sx {

const TXMLClass& TsxVariable::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxVariable, TsxActionObject>(
      "TsxVariable",
      {Prop<&TsxVariable::Name>("Name"), Prop<&TsxVariable::Value>("Value"),
       Prop<&TsxVariable::DefValue>("DefValue"), Prop<&TsxVariable::RegKey>("RegKey"),
       Prop<&TsxVariable::RegParam>("RegParam"), Prop<&TsxVariable::IniFile>("IniFile"),
       Prop<&TsxVariable::IniSection>("IniSection"), Prop<&TsxVariable::IniParam>("IniParam"),
       Prop<&TsxVariable::VarType>("VarType").Attribute("type").Prefix("vt")});
  return info;
}

TsxVariable::~TsxVariable() { NoteVariablesChanged(); }

bool TsxVariable::CanSave(const TXMLTag&) const { return !Transient; }

void TsxVariable::LoadAttribute(std::string_view entry) {
  NoteVariablesChanged();
  TsxActionObject::LoadAttribute(entry);
}

void TsxVariable::Initialize() {
  NoteVariablesChanged();
  TsxActionObject::Initialize();
}

TsxVariables::TsxVariables(TXMLObject* owner) : TXMLList(owner) { AllowDuplicates = false; }

const TXMLClass& TsxVariables::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxVariables, TXMLParamList>("TsxVariables", {}, {Item<TsxVariable>("var")});
  return info;
}

bool TsxVariables::SameItem(const TXMLObject& a, const TXMLObject& b) const {
  const auto& x = static_cast<const TsxVariable&>(a);
  const auto& y = static_cast<const TsxVariable&>(b);
  return SameTextFast(x.Name, y.Name) && x.Condition == y.Condition;
}

std::optional<std::string> TsxVariables::SameItemKey(const TXMLObject& item) const {
  const auto& variable = static_cast<const TsxVariable&>(item);
  std::string key;
  key.reserve(variable.Name.size() + 1 + variable.Condition.size());
  for (char c : variable.Name) key += static_cast<char>(UpperTable[static_cast<unsigned char>(c)]);
  key += '\0';
  key += variable.Condition;
  return key;
}

namespace {

bool IsTextVariable(const TsxVariable& variable) {
  return variable.VarType != TsxVarType::vtEnvVar;
}

}  // namespace

TsxVariable* TsxVariables::ScanByName(std::string_view name) const {
  // By position: a condition may append variables while the walk runs.
  for (int i = 0; i < Count(); ++i) {
    TsxVariable& variable = Items(i);
    if (IsTextVariable(variable) && SameTextFast(variable.Name, name) && IsConditionTrue(variable))
      return &variable;
  }
  return nullptr;
}

TXMLObject* TsxVariables::FindByName(std::string_view name) const {
  // The candidates of the name, in list order. Evaluating a condition may reach the variables
  // again (an expression reading or writing one); appended variables only extend the candidates,
  // but after a rebuild the held ones may be gone, and the plain walk answers instead.
  index_.Sync(*this);
  const std::uint64_t rebuilds = index_.Rebuilds();
  for (std::size_t i = 0;; ++i) {
    const std::vector<TsxVariable*>* candidates = index_.Find(*this, name);
    if (index_.Rebuilds() != rebuilds) return ScanByName(name);
    if (!candidates || i >= candidates->size()) return nullptr;
    TsxVariable* variable = (*candidates)[i];
    if (!SameTextFast(variable->Name, name)) {  // renamed behind the index's back
      index_.Invalidate();
      return ScanByName(name);
    }
    if (!IsTextVariable(*variable)) continue;
    const bool holds = IsConditionTrue(*variable);
    index_.Sync(*this);
    if (index_.Rebuilds() != rebuilds) return ScanByName(name);
    if (holds) return variable;
  }
}

}  // namespace sx
