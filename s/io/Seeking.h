#pragma once

#include <cstdint>
#include <limits>

namespace s::io {

// The position a relative seek leads to; false when the count is negative or
// the target would lie before the start or past the largest position.
inline bool relativeSeekTarget(std::int64_t position, std::int64_t count, bool forward,
                               std::int64_t& target) {
  if (count < 0) return false;
  if (forward) {
    if (count > std::numeric_limits<std::int64_t>::max() - position) return false;
    target = position + count;
  } else {
    if (count > position) return false;
    target = position - count;
  }
  return true;
}

}  // namespace s::io
