#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "s/str/strbuffer/StrBuffer.h"

namespace s::str {

// An ordered list of library strings; the array owns them and recycles them
// when cleared.
class StrArray final : public thread::PooledObject<StrArray> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_str_StrArray";

  StrArray() { clear(); }
  ~StrArray() override { clear(); }
  StrArray(const StrArray&) = delete;
  StrArray& operator=(const StrArray&) = delete;

  void clear() override;

  std::int32_t getLength() const { return static_cast<std::int32_t>(items_.size()); }
  const strbuffer::StrBuffer& get(std::int32_t index) const { return *items_[index]; }
  std::u16string_view view(std::int32_t index) const { return items_[index]->view(); }
  // Appends a copy of `text`.
  void add(std::u16string_view text);
  void addUtf8(std::string_view text);
  std::int32_t indexOf(std::u16string_view text) const;

 private:
  std::vector<strbuffer::StrBuffer*> items_;
};

}  // namespace s::str
