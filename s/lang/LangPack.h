#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "s/col/_array/IntArrays.h"
#include "s/str/StrArray.h"
#include "s/str/strbuffer/StrBuffer.h"
#include "s/thread/Pool.h"

namespace s::lang {

// The texts of one language: its three names and one text per id. Ids are
// numbers, or strings for entries whose id does not start with a digit. Texts
// are kept in the order they were added; duplicate ids are kept too, and
// lookups find the first.
class LangPack final : public thread::PooledObject<LangPack> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_lang_LangPack";

  LangPack() { clear(); }
  LangPack(const LangPack&) = delete;
  LangPack& operator=(const LangPack&) = delete;

  void clear() override;

  // The three-letter tag, also the element name of the language's texts.
  std::u16string_view getTagName() const { return tagName_.view(); }
  // The English name, by which a language is chosen and stored in settings.
  std::u16string_view getEngName() const { return engName_.view(); }
  // The name shown to the user.
  std::u16string_view getTrueName() const { return trueName_.view(); }
  void setNames(std::u16string_view tagName, std::u16string_view engName,
                std::u16string_view trueName);

  // Appends a copy of `text` under `id`.
  void addText(std::int32_t id, std::u16string_view text);
  void addText(std::u16string_view id, std::u16string_view text);

  // The first text added under `id`, or null.
  const str::strbuffer::StrBuffer* findText(std::int32_t id) const;
  const std::u16string* findText(std::u16string_view id) const;

  // The numeric entries in the order they were added.
  std::int32_t getNumericCount() const { return numericIds_.getLength(); }
  std::int32_t getNumericId(std::int32_t index) const { return numericIds_.get(index); }
  std::u16string_view getNumericText(std::int32_t index) const { return numericTexts_.view(index); }
  // The entries with string ids, in the order they were added.
  std::int32_t getStringCount() const { return static_cast<std::int32_t>(stringIds_.size()); }
  std::u16string_view getStringId(std::int32_t index) const {
    return stringIds_[static_cast<std::size_t>(index)];
  }
  std::u16string_view getStringText(std::int32_t index) const {
    return stringTexts_[static_cast<std::size_t>(index)];
  }

 private:
  str::strbuffer::StrBuffer tagName_;
  str::strbuffer::StrBuffer engName_;
  str::strbuffer::StrBuffer trueName_;
  col::_array::ArrayS32 numericIds_;
  str::StrArray numericTexts_;
  std::vector<std::u16string> stringIds_;
  std::vector<std::u16string> stringTexts_;
  // String id -> index of its first entry.
  std::unordered_map<std::u16string, std::int32_t> stringIndex_;
};

}  // namespace s::lang
