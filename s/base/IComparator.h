#pragma once

#include <cstdint>

namespace s::base {

// Orders two elements that are reached through pointers; collections sort and
// search with it.
class IComparator {
 public:
  virtual ~IComparator() = default;
  // Negative, 0 or positive as the element behind `a` sorts before, with or
  // after the one behind `b`.
  virtual std::int32_t compare(const void* a, const void* b) const = 0;
  virtual std::int32_t compareIgnoreCase(const void* a, const void* b) const {
    return compare(a, b);
  }
};

}  // namespace s::base
