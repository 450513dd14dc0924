#pragma once

#include "s/base/IDestructor.h"
#include "s/col/_array/ArrayBase.h"

namespace s::col::_array {

// Array of pointers. With an element-disposal strategy the array owns its
// elements: disposing (clear by the owner, recycle, destruction) calls the
// strategy's destroy on each slot in index order, then empties the array.
class ArrayP final : public ArrayOf<ArrayP, void*> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_col__array_ArrayP";

  ArrayP() { clear(); }
  explicit ArrayP(base::IDestructor* disposer) : disposer_(disposer) {}
  ~ArrayP() override { disposeElements(); }

  base::IDestructor* getDisposer() const { return disposer_; }
  void setDisposer(base::IDestructor* disposer) { disposer_ = disposer; }

  // Disposes of every element through the strategy (when there is one) and
  // empties the array; the buffer is kept.
  void disposeElements();

  // Disposes of the elements, frees the buffer and forgets the strategy.
  void clear() override;

 private:
  base::IDestructor* disposer_ = nullptr;
};

}  // namespace s::col::_array
