#include "s/str/strbuffer/StrBuffer.h"

#include <algorithm>
#include <cstring>

#include "s/str/Utf.h"

namespace s::str::strbuffer {

namespace {

const StrBuffer* asStrBuffer(const base::IComparable* other) {
  const auto* object = dynamic_cast<const base::IObject*>(other);
  if (object == nullptr || object->getClassTag() != StrBuffer::CLASS_TAG) return nullptr;
  return static_cast<const StrBuffer*>(object);
}

}  // namespace

StrBuffer* StrBuffer::obtain(std::u16string_view text) {
  StrBuffer* buffer = obtain();
  if (buffer != nullptr) buffer->set(text);
  return buffer;
}

StrBuffer* StrBuffer::obtainUtf8(std::string_view text) {
  StrBuffer* buffer = obtain();
  if (buffer != nullptr) buffer->setUtf8(text);
  return buffer;
}

std::int32_t StrBuffer::compareTexts(std::u16string_view a, std::u16string_view b) {
  const std::size_t shorter = std::min(a.size(), b.size());
  const int bytes = std::memcmp(a.data(), b.data(), shorter * sizeof(char16_t));
  if (bytes != 0) return bytes < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::int32_t StrBuffer::compareTextsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  const std::size_t shorter = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < shorter; ++i) {
    const char16_t x = foldCase(a[i]);
    const char16_t y = foldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::int32_t StrBuffer::compareTo(const base::IComparable* other,
                                  const base::IComparator* comparator) const {
  const StrBuffer* that = comparator == nullptr ? asStrBuffer(other) : nullptr;
  if (that == nullptr) return PooledObject::compareTo(other, comparator);
  return compareTexts(text_, that->text_);
}

std::int32_t StrBuffer::compareToIgnoreCase(const base::IComparable* other,
                                            const base::IComparator* comparator) const {
  const StrBuffer* that = comparator == nullptr ? asStrBuffer(other) : nullptr;
  if (that == nullptr) return PooledObject::compareToIgnoreCase(other, comparator);
  return compareTextsIgnoreCase(text_, that->text_);
}

std::uint32_t StrBuffer::hashCode() const {
  std::uint32_t hash = 0;
  for (char16_t c : text_)
    hash = base::hashStep(hash, c);
  return hash;
}

std::uint32_t StrBuffer::hashCodeIgnoreCase() const {
  std::uint32_t hash = 0;
  for (char16_t c : text_)
    hash = base::hashStep(hash, base::foldAsciiUpper(c));
  return hash;
}

std::string StrBuffer::toUtf8() const {
  return utf16ToUtf8(text_);
}

StrBuffer& StrBuffer::set(std::u16string_view text) {
  text_.assign(text);
  return *this;
}

StrBuffer& StrBuffer::setUtf8(std::string_view text) {
  text_ = utf8ToUtf16(text);
  return *this;
}

StrBuffer& StrBuffer::append(std::u16string_view text) {
  text_.append(text);
  return *this;
}

StrBuffer& StrBuffer::append(char16_t c) {
  text_.push_back(c);
  return *this;
}

StrBuffer& StrBuffer::appendUtf8(std::string_view text) {
  text_.append(utf8ToUtf16(text));
  return *this;
}

StrBuffer& StrBuffer::append(std::int64_t number) {
  return appendUtf8(std::to_string(number));
}

}  // namespace s::str::strbuffer
