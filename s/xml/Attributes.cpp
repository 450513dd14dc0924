#include "s/xml/Attributes.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <new>

#include "s/str/strbuffer/StrBuffer.h"

namespace s::xml {

namespace {

using str::strbuffer::StrBuffer;

void freeTexts(Attr* record) {
  delete[] record->name;
  delete[] record->value;
  record->name = nullptr;
  record->value = nullptr;
  record->nameLength = 0;
  record->valueLength = 0;
}

void disposeRecord(Attr* record) {
  freeTexts(record);
  delete record;
}

// A NUL-terminated copy of `text`, null for an empty text. Sets `ok` to false
// when memory ran out.
char16_t* copyText(std::u16string_view text, bool& ok) {
  if (text.empty()) return nullptr;
  auto* copy = new (std::nothrow) char16_t[text.size() + 1];
  if (copy == nullptr) {
    ok = false;
    return nullptr;
  }
  std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
  copy[text.size()] = 0;
  return copy;
}

std::atomic<bool> gFactoryGone{false};

struct FactoryHolder {
  AttrFactory factory;
  ~FactoryHolder() { gFactoryGone.store(true, std::memory_order_release); }
};

}  // namespace

AttrFactory::AttrFactory() {
  setLimits(RECORD_LIMIT, 1024, 102400);
}

AttrFactory::~AttrFactory() {
  disposeAll();
}

AttrFactory* AttrFactory::instance() {
  static FactoryHolder holder;
  return gFactoryGone.load(std::memory_order_acquire) ? nullptr : &holder.factory;
}

Attr* AttrFactory::obtainRecord() {
  AttrFactory* factory = instance();
  if (factory == nullptr) return new (std::nothrow) Attr{};
  return static_cast<Attr*>(factory->obtain());
}

void AttrFactory::releaseRecord(Attr* record) {
  if (record == nullptr) return;
  AttrFactory* factory = instance();
  if (factory == nullptr) {
    disposeRecord(record);
  } else {
    factory->release(record, -1);
  }
}

void* AttrFactory::generate() {
  return new (std::nothrow) Attr{};
}

void AttrFactory::prepare(void* object) {
  freeTexts(static_cast<Attr*>(object));
}

void AttrFactory::dispose(void** reference) {
  if (reference == nullptr || *reference == nullptr) return;
  disposeRecord(static_cast<Attr*>(*reference));
  *reference = nullptr;
}

const Attr* Attributes::get(std::int32_t index) const {
  if (index < 0 || index >= records_.getLength()) return nullptr;
  return static_cast<const Attr*>(records_.get(index));
}

const Attr* Attributes::find(std::u16string_view name) const {
  for (void* element : records_) {
    const auto* record = static_cast<const Attr*>(element);
    if (StrBuffer::compareTextsIgnoreCase(record->getName(), name) == 0) return record;
  }
  return nullptr;
}

std::int32_t Attributes::count(std::u16string_view name) const {
  std::int32_t matches = 0;
  for (void* element : records_) {
    const auto* record = static_cast<const Attr*>(element);
    if (StrBuffer::compareTextsIgnoreCase(record->getName(), name) == 0) ++matches;
  }
  return matches;
}

bool Attributes::add(std::u16string_view name, std::u16string_view value) {
  constexpr std::size_t kMaxLength = std::numeric_limits<std::int32_t>::max() - 1;
  if (name.size() > kMaxLength || value.size() > kMaxLength) return false;
  Attr* record = AttrFactory::obtainRecord();
  if (record == nullptr) return false;
  bool ok = true;
  record->name = copyText(name, ok);
  record->nameLength = static_cast<std::int32_t>(name.size());
  record->value = copyText(value, ok);
  record->valueLength = static_cast<std::int32_t>(value.size());
  if (!ok) {
    AttrFactory::releaseRecord(record);
    return false;
  }
  records_.add(record);
  return true;
}

std::int32_t Attributes::remove(std::u16string_view name) {
  std::int32_t removed = 0;
  for (std::int32_t i = records_.getLength() - 1; i >= 0; --i) {
    auto* record = static_cast<Attr*>(records_.get(i));
    if (StrBuffer::compareTextsIgnoreCase(record->getName(), name) == 0) {
      records_.remove(i);
      AttrFactory::releaseRecord(record);
      ++removed;
    }
  }
  return removed;
}

void Attributes::removeAll() {
  for (void* element : records_)
    AttrFactory::releaseRecord(static_cast<Attr*>(element));
  records_.removeAllWithoutDisposing();
}

}  // namespace s::xml
