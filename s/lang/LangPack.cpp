#include "s/lang/LangPack.h"

namespace s::lang {

using str::strbuffer::StrBuffer;

void LangPack::clear() {
  tagName_.clear();
  engName_.clear();
  trueName_.clear();
  numericIds_.clear();
  numericTexts_.clear();
  stringIds_.clear();
  stringTexts_.clear();
  stringIndex_.clear();
}

void LangPack::setNames(std::u16string_view tagName, std::u16string_view engName,
                        std::u16string_view trueName) {
  tagName_.set(tagName);
  engName_.set(engName);
  trueName_.set(trueName);
}

void LangPack::addText(std::int32_t id, std::u16string_view text) {
  const std::int32_t before = numericTexts_.getLength();
  numericTexts_.add(text);
  // Ids and texts stay parallel even when the text could not be stored.
  if (numericTexts_.getLength() > before) numericIds_.add(id);
}

void LangPack::addText(std::u16string_view id, std::u16string_view text) {
  stringIndex_.emplace(std::u16string(id), static_cast<std::int32_t>(stringIds_.size()));
  stringIds_.emplace_back(id);
  stringTexts_.emplace_back(text);
}

const StrBuffer* LangPack::findText(std::int32_t id) const {
  for (std::int32_t i = 0; i < numericIds_.getLength(); ++i) {
    if (numericIds_.get(i) == id) return &numericTexts_.get(i);
  }
  return nullptr;
}

const std::u16string* LangPack::findText(std::u16string_view id) const {
  const auto found = stringIndex_.find(std::u16string(id));
  return found != stringIndex_.end() ? &stringTexts_[static_cast<std::size_t>(found->second)]
                                     : nullptr;
}

}  // namespace s::lang
