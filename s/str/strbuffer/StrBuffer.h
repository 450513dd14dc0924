#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "s/thread/Pool.h"

namespace s::str::strbuffer {

// The library string: growable UTF-16 text.
// Ordering compares the two character buffers as unsigned bytes in memory
// order over the shorter length, then puts the shorter text first; the
// ignore-case ordering compares folded characters, then lengths. Hashing is
// the library's text hash (ClassTag.h); the ignore-case hash folds 'A'..'Z'.
class StrBuffer final : public thread::PooledObject<StrBuffer> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_str_strbuffer_StrBuffer";

  StrBuffer() { clear(); }
  static StrBuffer* obtain() { return PooledObject::obtain(); }
  static StrBuffer* obtain(std::u16string_view text);
  static StrBuffer* obtainUtf8(std::string_view text);

  std::int32_t compareTo(const base::IComparable* other,
                         const base::IComparator* comparator = nullptr) const override;
  std::int32_t compareToIgnoreCase(const base::IComparable* other,
                                   const base::IComparator* comparator = nullptr) const override;
  std::uint32_t hashCode() const override;
  std::uint32_t hashCodeIgnoreCase() const override;

  void clear() override { text_.clear(); }

  std::int32_t getLength() const { return static_cast<std::int32_t>(text_.size()); }
  bool isEmpty() const { return text_.empty(); }
  const char16_t* getChars() const { return text_.c_str(); }
  const std::u16string& text() const { return text_; }
  std::u16string_view view() const { return text_; }
  std::string toUtf8() const;

  StrBuffer& set(std::u16string_view text);
  StrBuffer& setUtf8(std::string_view text);
  StrBuffer& append(std::u16string_view text);
  StrBuffer& append(char16_t c);
  StrBuffer& appendUtf8(std::string_view text);
  StrBuffer& append(std::int64_t number);

  // Ordering of two texts by the rules above, usable without objects.
  static std::int32_t compareTexts(std::u16string_view a, std::u16string_view b);
  static std::int32_t compareTextsIgnoreCase(std::u16string_view a, std::u16string_view b);

 private:
  std::u16string text_;
};

}  // namespace s::str::strbuffer
