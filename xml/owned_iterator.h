// An iterator over a vector of owning pointers that yields references to the owned objects, so
// that lists which own their items can be walked with range-for as `for (Item& item : list)`.
#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <vector>

namespace sx {

template <class Item, class Stored = Item>
class TOwnedIterator {
 public:
  using Base = typename std::vector<std::unique_ptr<Stored>>::const_iterator;
  using iterator_category = std::random_access_iterator_tag;
  using value_type = Item;
  using difference_type = std::ptrdiff_t;
  using pointer = Item*;
  using reference = Item&;

  TOwnedIterator() = default;
  explicit TOwnedIterator(Base base) : base_(base) {}
  Item& operator*() const { return static_cast<Item&>(**base_); }
  Item* operator->() const { return &**this; }
  TOwnedIterator& operator++() { ++base_; return *this; }
  TOwnedIterator operator++(int) { auto old = *this; ++base_; return old; }
  TOwnedIterator& operator--() { --base_; return *this; }
  TOwnedIterator& operator+=(difference_type n) { base_ += n; return *this; }
  TOwnedIterator operator+(difference_type n) const { return TOwnedIterator(base_ + n); }
  difference_type operator-(const TOwnedIterator& other) const { return base_ - other.base_; }
  Item& operator[](difference_type n) const { return *(*this + n); }
  friend bool operator==(const TOwnedIterator&, const TOwnedIterator&) = default;

 private:
  Base base_;
};

}  // namespace sx
