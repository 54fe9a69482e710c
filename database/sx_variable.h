// Project variables as the model holds them. Reading, writing and expanding variables is
// built on these classes elsewhere; here are the item, its list, and the list's lookup.
#pragma once

#include <string>
#include <string_view>

#include "database/sx_condition_object.h"
#include "database/sx_variable_index.h"

namespace sx {

class TsxVariable : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  ~TsxVariable() override;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Name, Value, DefValue, RegKey, RegParam, IniFile, IniSection, IniParam;
  TsxVarType VarType = TsxVarType::vtNormal;  // attribute "type", written without "vt"

  // Set by the engine for variables it defines; such variables are never written.
  bool Transient = false;
  bool CanSave(const TXMLTag& tag) const override;

  // Loading from XML and clearing may change the name: the lists' name indexes are told.
  void LoadAttribute(std::string_view entry) override;
  void Initialize() override;
};

// Variables of the root or of a package. A <var> read from XML that has the same name (ignoring
// case) and the same condition (exactly) as an existing one replaces that one's content, so
// variables of one name with different conditions coexist.
class TsxVariables : public TXMLList<TsxVariable, TXMLParamList> {  // <variables><var .../>
 public:
  explicit TsxVariables(TXMLObject* owner = nullptr);
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  bool SameItem(const TXMLObject& a, const TXMLObject& b) const override;
  // The name in the fixed upper case, a NUL, the condition.
  std::optional<std::string> SameItemKey(const TXMLObject& item) const override;
  // The first variable in list order that is not an environment-variable item, has this name
  // (ignoring case) and whose condition holds: of several definitions of one name, the first
  // whose condition is true wins at the moment of the lookup.
  TXMLObject* FindByName(std::string_view name) const override;
  TsxVariable* FindVariable(std::string_view name) const {
    return static_cast<TsxVariable*>(FindByName(name));
  }
  // The same rule by walking the list, without the name index.
  TsxVariable* ScanByName(std::string_view name) const;

  // FindByName looks only at the variables of the name (see sx_variable_index.h). Code that
  // gives a new Name to a variable already in the list calls Reindex afterwards.
  void Reindex() const { index_.Invalidate(); }

 private:
  mutable TsxVariableIndex index_;
};

}  // namespace sx
