#include "s/str/StrArray.h"

namespace s::str {

void StrArray::clear() {
  for (strbuffer::StrBuffer* item : items_)
    item->recycle();
  items_.clear();
  items_.shrink_to_fit();
}

void StrArray::add(std::u16string_view text) {
  strbuffer::StrBuffer* item = strbuffer::StrBuffer::obtain(text);
  if (item != nullptr) items_.push_back(item);
}

void StrArray::addUtf8(std::string_view text) {
  strbuffer::StrBuffer* item = strbuffer::StrBuffer::obtainUtf8(text);
  if (item != nullptr) items_.push_back(item);
}

std::int32_t StrArray::indexOf(std::u16string_view text) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->view() == text) return static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace s::str
