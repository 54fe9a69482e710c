// Published properties: what a persistable class declares once, in its class table, so that the
// object mapping can read and write it without any code of the class's own.
//
// A property is declared from the data member that holds it:
//
//   Prop<&TsxReg::Key>("Key")
//   Prop<&TsxReg::ParamType>("ParamType").Attribute("type")     // written as attribute "type"
//   Prop<&TsxShortcut::ShowCmd>("ShowCmd").Prefix("sc")          // scMax is written "max"
//   Prop<&TsxComponent::id_, &TsxComponent::SetID>("ID")         // written through a setter
//
// The kind follows from the member's type: std::string (string), int32_t (integer), bool
// (Boolean), an enumeration with an EnumValueNames() function found by argument-dependent lookup
// (enumeration), TEnumSet of one (set), char, double, std::unique_ptr of a TXMLObject class
// (object, created from that class) and std::unique_ptr<TXMLTag> (raw tag).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "xml/xml_enum_set.h"
#include "xml/xml_tag.h"

namespace sx {

class TXMLObject;
class TXMLClass;

enum class TPropKind : std::uint8_t {
  pkString,
  pkInteger,
  pkBoolean,
  pkEnumeration,
  pkSet,
  pkChar,
  pkFloat,
  pkObject,  // a TXMLObject (a list is an object whose class derives from TXMLObjectList)
  pkTag,     // a raw TXMLTag
};

// True for the kinds that are written as attributes.
constexpr bool IsSimpleKind(TPropKind kind) {
  return kind != TPropKind::pkObject && kind != TPropKind::pkTag;
}

// Access to the value of one property of an object; only the entries of the property's kind are
// set. Ordinals carry integers, Booleans (0/1), enumeration ordinals, set bit masks and character
// codes.
struct TPropAccess {
  std::string_view (*GetString)(const TXMLObject&) = nullptr;
  void (*SetString)(TXMLObject&, std::string_view) = nullptr;
  std::int64_t (*GetOrdinal)(const TXMLObject&) = nullptr;
  void (*SetOrdinal)(TXMLObject&, std::int64_t) = nullptr;
  double (*GetFloat)(const TXMLObject&) = nullptr;
  void (*SetFloat)(TXMLObject&, double) = nullptr;
  TXMLObject* (*GetObject)(const TXMLObject&) = nullptr;
  void (*SetObject)(TXMLObject&, std::unique_ptr<TXMLObject>) = nullptr;
  TXMLTag* (*GetTag)(const TXMLObject&) = nullptr;
  void (*SetTag)(TXMLObject&, std::unique_ptr<TXMLTag>) = nullptr;
};

struct TPropInfo {
  std::string_view Name;  // mixed case, as published ("InstallStateData")
  TPropKind Kind = TPropKind::pkString;
  std::span<const std::string_view> ValueNames;          // enumerations and sets, ordinal 0 first
  const TXMLClass& (*ObjectClass)() = nullptr;           // declared class of an object property
  std::string_view AttributeName;                        // when written under another name
  std::string_view EnumPrefix;                           // stripped from value names in XML
  bool Writable = true;
  TPropAccess Access;

  TPropInfo Attribute(std::string_view name) const {
    TPropInfo copy = *this;
    copy.AttributeName = name;
    return copy;
  }
  TPropInfo Prefix(std::string_view prefix) const {
    TPropInfo copy = *this;
    copy.EnumPrefix = prefix;
    return copy;
  }
  TPropInfo ReadOnly() const {
    TPropInfo copy = *this;
    copy.Writable = false;
    return copy;
  }
};

namespace property_detail {

template <class T>
struct MemberOf;
template <class C, class F>
struct MemberOf<F C::*> {
  using Class = C;
  using Field = F;
};

template <class T>
struct OwnedPointer : std::false_type {};
template <class T>
struct OwnedPointer<std::unique_ptr<T>> : std::true_type {
  using Pointee = T;
};

template <class>
inline constexpr bool kUnsupported = false;

}  // namespace property_detail

// The declaration of the property held in `Member`.
template <auto Member>
TPropInfo Prop(std::string_view name) {
  using Traits = property_detail::MemberOf<decltype(Member)>;
  using C = typename Traits::Class;
  using F = typename Traits::Field;
  TPropInfo info;
  info.Name = name;
  TPropAccess& a = info.Access;
  if constexpr (std::is_same_v<F, std::string>) {
    info.Kind = TPropKind::pkString;
    a.GetString = [](const TXMLObject& o) -> std::string_view { return static_cast<const C&>(o).*Member; };
    a.SetString = [](TXMLObject& o, std::string_view v) { (static_cast<C&>(o).*Member).assign(v); };
  } else if constexpr (std::is_same_v<F, bool>) {
    info.Kind = TPropKind::pkBoolean;
    a.GetOrdinal = [](const TXMLObject& o) -> std::int64_t { return static_cast<const C&>(o).*Member ? 1 : 0; };
    a.SetOrdinal = [](TXMLObject& o, std::int64_t v) { static_cast<C&>(o).*Member = v != 0; };
  } else if constexpr (std::is_same_v<F, char>) {
    info.Kind = TPropKind::pkChar;
    a.GetOrdinal = [](const TXMLObject& o) -> std::int64_t {
      return static_cast<unsigned char>(static_cast<const C&>(o).*Member);
    };
    a.SetOrdinal = [](TXMLObject& o, std::int64_t v) { static_cast<C&>(o).*Member = static_cast<char>(v); };
  } else if constexpr (std::is_same_v<F, std::int32_t>) {
    info.Kind = TPropKind::pkInteger;
    a.GetOrdinal = [](const TXMLObject& o) -> std::int64_t { return static_cast<const C&>(o).*Member; };
    a.SetOrdinal = [](TXMLObject& o, std::int64_t v) { static_cast<C&>(o).*Member = static_cast<std::int32_t>(v); };
  } else if constexpr (std::is_same_v<F, double>) {
    info.Kind = TPropKind::pkFloat;
    a.GetFloat = [](const TXMLObject& o) { return static_cast<const C&>(o).*Member; };
    a.SetFloat = [](TXMLObject& o, double v) { static_cast<C&>(o).*Member = v; };
  } else if constexpr (std::is_enum_v<F>) {
    info.Kind = TPropKind::pkEnumeration;
    info.ValueNames = EnumValueNames(F{});
    a.GetOrdinal = [](const TXMLObject& o) -> std::int64_t { return static_cast<std::int64_t>(static_cast<const C&>(o).*Member); };
    a.SetOrdinal = [](TXMLObject& o, std::int64_t v) { static_cast<C&>(o).*Member = static_cast<F>(v); };
  } else if constexpr (kIsEnumSet<F>) {
    info.Kind = TPropKind::pkSet;
    info.ValueNames = EnumValueNames(typename F::EnumType{});
    a.GetOrdinal = [](const TXMLObject& o) -> std::int64_t { return (static_cast<const C&>(o).*Member).Bits(); };
    a.SetOrdinal = [](TXMLObject& o, std::int64_t v) {
      static_cast<C&>(o).*Member = F::FromBits(static_cast<std::uint32_t>(v));
    };
  } else if constexpr (std::is_same_v<F, std::unique_ptr<TXMLTag>>) {
    info.Kind = TPropKind::pkTag;
    a.GetTag = [](const TXMLObject& o) -> TXMLTag* { return (static_cast<const C&>(o).*Member).get(); };
    a.SetTag = [](TXMLObject& o, std::unique_ptr<TXMLTag> v) { static_cast<C&>(o).*Member = std::move(v); };
  } else if constexpr (property_detail::OwnedPointer<F>::value) {
    using Held = typename property_detail::OwnedPointer<F>::Pointee;
    static_assert(std::is_base_of_v<TXMLObject, Held>, "object properties hold TXMLObject classes");
    info.Kind = TPropKind::pkObject;
    info.ObjectClass = &Held::StaticClass;
    a.GetObject = [](const TXMLObject& o) -> TXMLObject* { return (static_cast<const C&>(o).*Member).get(); };
    // The object mapping only stores objects it created from ObjectClass, so the cast holds.
    a.SetObject = [](TXMLObject& o, std::unique_ptr<TXMLObject> v) {
      static_cast<C&>(o).*Member = std::unique_ptr<Held>(static_cast<Held*>(v.release()));
    };
  } else {
    static_assert(property_detail::kUnsupported<F>, "no property kind for this member type");
  }
  return info;
}

// The declaration of a property held in `Member` whose value is set through `Setter` (a member
// function taking the new value), for properties whose change has side effects.
template <auto Member, auto Setter>
TPropInfo Prop(std::string_view name) {
  using Traits = property_detail::MemberOf<decltype(Member)>;
  using C = typename Traits::Class;
  using F = typename Traits::Field;
  TPropInfo info = Prop<Member>(name);
  if constexpr (std::is_same_v<F, std::string>) {
    info.Access.SetString = [](TXMLObject& o, std::string_view v) { (static_cast<C&>(o).*Setter)(std::string(v)); };
  } else if constexpr (std::is_same_v<F, double>) {
    info.Access.SetFloat = [](TXMLObject& o, double v) { (static_cast<C&>(o).*Setter)(v); };
  } else {
    static_assert(!property_detail::OwnedPointer<F>::value, "setters are for simple properties");
    info.Access.SetOrdinal = [](TXMLObject& o, std::int64_t v) {
      if constexpr (kIsEnumSet<F>)
        (static_cast<C&>(o).*Setter)(F::FromBits(static_cast<std::uint32_t>(v)));
      else
        (static_cast<C&>(o).*Setter)(static_cast<F>(v));
    };
  }
  return info;
}

}  // namespace sx
