#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "s/base/IObject.h"
#include "s/thread/Pool.h"

namespace s::col::_array {

// The capacity an array grows to when an element is appended to a full one.
constexpr std::int32_t grownCapacity(std::int32_t capacity) {
  if (capacity < 100) return 100;
  if (capacity < 10'000'000) return capacity * 3;
  if (capacity < 50'000'000) return capacity * 2;
  if (capacity < 100'000'000) return static_cast<std::int32_t>(capacity * 3LL / 2);
  const std::int64_t grown = capacity * 6LL / 5;
  return grown > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(grown);
}

// Growable array of plain values E (integers or pointers). Arrays compare by
// element count first, then element by element.
class ArrayBase : public base::IObject {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_col_array_ArrayBase";
};

template <class T, class E>
class ArrayOf : public thread::PooledObject<T, ArrayBase> {
 public:
  using Element = E;

  ArrayOf() = default;
  ArrayOf(const ArrayOf&) = delete;
  ArrayOf& operator=(const ArrayOf&) = delete;

  std::int32_t getLength() const { return length_; }
  std::int32_t getCapacity() const { return capacity_; }
  bool isEmpty() const { return length_ == 0; }
  E get(std::int32_t index) const { return data_[index]; }
  void set(std::int32_t index, E value) { data_[index] = value; }
  E* data() { return data_.get(); }
  const E* data() const { return data_.get(); }
  E* begin() { return data_.get(); }
  E* end() { return data_.get() + length_; }
  const E* begin() const { return data_.get(); }
  const E* end() const { return data_.get() + length_; }

  void add(E value) {
    if (length_ == capacity_) growTo(grownCapacity(capacity_));
    data_[length_++] = value;
  }

  // Inserts before index; index == length appends.
  void insert(std::int32_t index, E value) {
    if (length_ == capacity_) growTo(grownCapacity(capacity_));
    std::memmove(&data_[index + 1], &data_[index], sizeof(E) * (length_ - index));
    data_[index] = value;
    ++length_;
  }

  E remove(std::int32_t index) {
    E value = data_[index];
    std::memmove(&data_[index], &data_[index + 1], sizeof(E) * (length_ - index - 1));
    --length_;
    return value;
  }

  E removeLast() { return data_[--length_]; }

  // Makes room for at least `capacity` elements without changing the length.
  void ensureCapacity(std::int32_t capacity) {
    if (capacity > capacity_) growTo(capacity);
  }

  // Forgets every element without disposing of it; the buffer is kept.
  void removeAllWithoutDisposing() { length_ = 0; }

  // Changes the length; new elements are zero. Does not dispose of elements.
  void setLengthWithoutDisposing(std::int32_t length) {
    ensureCapacity(length);
    if (length > length_) std::memset(&data_[length_], 0, sizeof(E) * (length - length_));
    length_ = length;
  }

  std::int32_t indexOf(E value) const {
    for (std::int32_t i = 0; i < length_; ++i) {
      if (data_[i] == value) return i;
    }
    return -1;
  }

  std::int32_t compareTo(const base::IComparable* other,
                         const base::IComparator* comparator = nullptr) const override {
    if (comparator != nullptr || other == this) {
      return ArrayBase::compareTo(other, comparator);
    }
    const auto* object = dynamic_cast<const base::IObject*>(other);
    if (object == nullptr || object->getClassTag() != T::CLASS_TAG) {
      return ArrayBase::compareTo(other, nullptr);
    }
    const auto& that = static_cast<const ArrayOf&>(*static_cast<const T*>(object));
    if (length_ != that.length_) return length_ < that.length_ ? -1 : 1;
    for (std::int32_t i = 0; i < length_; ++i) {
      if (data_[i] != that.data_[i]) return data_[i] < that.data_[i] ? -1 : 1;
    }
    return 0;
  }

  void clear() override {
    data_.reset();
    length_ = 0;
    capacity_ = 0;
  }

 private:
  void growTo(std::int32_t capacity) {
    std::unique_ptr<E[]> grown(new E[capacity]);
    std::copy_n(data_.get(), length_, grown.get());
    data_ = std::move(grown);
    capacity_ = capacity;
  }

  std::unique_ptr<E[]> data_;
  std::int32_t length_ = 0;
  std::int32_t capacity_ = 0;
};

}  // namespace s::col::_array
