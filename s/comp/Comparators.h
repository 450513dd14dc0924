#pragma once

#include <cstdint>

#include "s/base/IComparator.h"
#include "s/base/IObject.h"

namespace s::comp {

// Reads one element of type E through each pointer: -1, 0 or +1.
template <class E>
std::int32_t compareValues(const void* a, const void* b) {
  const E x = *static_cast<const E*>(a);
  const E y = *static_cast<const E*>(b);
  return x < y ? -1 : (x == y ? 0 : 1);
}

template <class E, const char16_t* Tag>
class ValueComparator final : public base::IObject, public base::IComparator {
 public:
  base::ClassTag getClassTag() const override { return Tag; }
  base::IObject* newInstance() const override { return new ValueComparator(); }
  std::int32_t compare(const void* a, const void* b) const override {
    return compareValues<E>(a, b);
  }
};

inline constexpr char16_t kCompS32Tag[] = u"s_comp_CompS32";
inline constexpr char16_t kCompU32Tag[] = u"s_comp_CompU32";
inline constexpr char16_t kCompPTag[] = u"s_comp_CompP";
inline constexpr char16_t kCompS08Tag[] = u"s_comp_CompS08";
inline constexpr char16_t kCompU08Tag[] = u"s_comp_CompU08";

using CompS32 = ValueComparator<std::int32_t, kCompS32Tag>;
using CompU32 = ValueComparator<std::uint32_t, kCompU32Tag>;
// Pointers ordered as unsigned addresses.
using CompP = ValueComparator<std::uintptr_t, kCompPTag>;
using CompS08 = ValueComparator<std::int8_t, kCompS08Tag>;
using CompU08 = ValueComparator<std::uint8_t, kCompU08Tag>;

}  // namespace s::comp
