#pragma once

#include <cstdint>

#include "s/col/_array/ArrayBase.h"

namespace s::col::_array {

class ArrayS08 final : public ArrayOf<ArrayS08, std::int8_t> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_col__array_ArrayS08";
  ArrayS08() { clear(); }
};

class ArrayU08 final : public ArrayOf<ArrayU08, std::uint8_t> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_col__array_ArrayU08";
  ArrayU08() { clear(); }
};

class ArrayS32 final : public ArrayOf<ArrayS32, std::int32_t> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_col__array_ArrayS32";
  ArrayS32() { clear(); }
};

class ArrayU32 final : public ArrayOf<ArrayU32, std::uint32_t> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_col__array_ArrayU32";
  ArrayU32() { clear(); }
};

}  // namespace s::col::_array
