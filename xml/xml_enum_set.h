// A set of the values of an enumeration, held as a bit mask (ordinals 0 to 31).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace sx {

template <class Enum>
class TEnumSet {
  static_assert(std::is_enum_v<Enum>);

 public:
  using EnumType = Enum;

  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<Enum> members) {
    for (Enum member : members) Include(member);
  }
  static constexpr TEnumSet FromBits(std::uint32_t bits) {
    TEnumSet set;
    set.bits_ = bits;
    return set;
  }

  constexpr bool Contains(Enum member) const { return (bits_ & Bit(member)) != 0; }
  constexpr void Include(Enum member) { bits_ |= Bit(member); }
  constexpr void Exclude(Enum member) { bits_ &= ~Bit(member); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr std::uint32_t Bits() const { return bits_; }
  friend constexpr bool operator==(TEnumSet, TEnumSet) = default;

 private:
  static constexpr std::uint32_t Bit(Enum member) {
    return std::uint32_t{1} << static_cast<unsigned>(member);
  }
  std::uint32_t bits_ = 0;
};

template <class T>
inline constexpr bool kIsEnumSet = false;
template <class Enum>
inline constexpr bool kIsEnumSet<TEnumSet<Enum>> = true;

}  // namespace sx
