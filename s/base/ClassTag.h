#pragma once

#include <cstdint>

namespace s::base {

// A class tag is one constant wide string per class ("s_image_win_BufferedImage").
// Run-time class tests compare the pointer, never the text, so every class
// declares its tag once as an inline constant:
//   static constexpr s::base::ClassTagText CLASS_TAG = u"s_thread_ObjLocker";
using ClassTag = const char16_t*;
using ClassTagText = char16_t[];

// The library's text hash: for each character shift left by one, copy the new
// bit 31 into bit 0, then XOR the character in. Folding maps 'A'..'Z' to
// 'a'..'z' first.
constexpr std::uint32_t hashStep(std::uint32_t hash, char16_t c) {
  hash <<= 1;
  hash |= hash >> 31;
  return hash ^ static_cast<std::uint32_t>(c);
}

constexpr char16_t foldAsciiUpper(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

constexpr std::uint32_t hashText(const char16_t* text) {
  std::uint32_t hash = 0;
  for (; *text != 0; ++text)
    hash = hashStep(hash, *text);
  return hash;
}

}  // namespace s::base
