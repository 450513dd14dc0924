#pragma once

#include <cstdint>
#include <string_view>

#include "s/col/_array/ArrayP.h"
#include "s/thread/PoolerBase.h"

namespace s::xml {

// One attribute of an element: name and value, each a separate NUL-terminated
// allocation (null when empty) with its length. The value is kept as it
// stands in the file, that is escaped. An empty name marks a text run.
struct Attr {
  char16_t* name;
  char16_t* value;
  std::int32_t nameLength;
  std::int32_t valueLength;

  std::u16string_view getName() const {
    return name != nullptr ? std::u16string_view(name, static_cast<std::size_t>(nameLength))
                           : std::u16string_view();
  }
  std::u16string_view getValue() const {
    return value != nullptr ? std::u16string_view(value, static_cast<std::size_t>(valueLength))
                            : std::u16string_view();
  }
};

// The pool of attribute records. Records are made zero-filled, reset by
// freeing and nulling their two texts, and disposed of by freeing the texts
// and the record. Up to RECORD_LIMIT spare records are kept.
class AttrFactory final : public thread::Factory {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_xml_AttrFactory";
  static constexpr std::int32_t RECORD_LIMIT = 10000;

  AttrFactory();
  ~AttrFactory() override;

  // The process-wide factory, created on first use; null once it has been
  // destroyed at exit.
  static AttrFactory* instance();
  // A zero-filled record from the factory (plain allocation when the factory
  // is gone); null when none could be allocated.
  static Attr* obtainRecord();
  // Hands a record back (frees it when the factory is gone). Null is ignored.
  static void releaseRecord(Attr* record);

  base::ClassTag getClassTag() const override { return CLASS_TAG; }
  base::IObject* newInstance() const override { return instance(); }

  void* generate() override;
  void prepare(void* object) override;
  void dispose(void** reference) override;
};

// The attributes of one element in insertion order. Names are matched
// ignoring case; lookups find the first match. The list owns its records.
class Attributes {
 public:
  Attributes() = default;
  ~Attributes() { removeAll(); }
  Attributes(const Attributes&) = delete;
  Attributes& operator=(const Attributes&) = delete;

  std::int32_t getCount() const { return records_.getLength(); }
  const Attr* get(std::int32_t index) const;
  // The first record whose name equals `name` ignoring case, else null.
  const Attr* find(std::u16string_view name) const;
  // How many records are named `name` (ignoring case).
  std::int32_t count(std::u16string_view name) const;
  // Appends a record holding copies of both texts. False when memory ran out
  // or a text is too long for a record.
  bool add(std::u16string_view name, std::u16string_view value);
  // Removes every record named `name` (ignoring case); returns how many.
  std::int32_t remove(std::u16string_view name);
  void removeAll();

 private:
  col::_array::ArrayP records_;
};

}  // namespace s::xml
