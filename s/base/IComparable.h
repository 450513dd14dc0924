#pragma once

#include <cstdint>

#include "s/base/IComparator.h"

namespace s::base {

// Identity, ordering and hashing. Without a comparator and without an override
// an object equals only itself and objects order by address.
class IComparable {
 public:
  virtual ~IComparable() = default;

  virtual std::int32_t compareTo(const IComparable* other,
                                 const IComparator* comparator = nullptr) const {
    if (comparator != nullptr) return comparator->compare(this, other);
    if (other == this) return 0;
    return reinterpret_cast<std::uintptr_t>(this) < reinterpret_cast<std::uintptr_t>(other) ? -1
                                                                                            : 1;
  }
  virtual std::int32_t compareToIgnoreCase(const IComparable* other,
                                           const IComparator* comparator = nullptr) const {
    if (comparator != nullptr) return comparator->compareIgnoreCase(this, other);
    return compareTo(other, nullptr);
  }
  virtual bool equals(const IComparable* other, const IComparator* comparator = nullptr) const {
    if (comparator != nullptr) return comparator->compare(this, other) == 0;
    return compareTo(other, nullptr) == 0;
  }
  virtual bool equalsIgnoreCase(const IComparable* other,
                                const IComparator* comparator = nullptr) const {
    if (comparator != nullptr) return comparator->compareIgnoreCase(this, other) == 0;
    return compareToIgnoreCase(other, nullptr) == 0;
  }
  virtual std::uint32_t hashCode() const = 0;
  virtual std::uint32_t hashCodeIgnoreCase() const { return hashCode(); }
};

}  // namespace s::base
