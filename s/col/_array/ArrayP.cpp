#include "s/col/_array/ArrayP.h"

namespace s::col::_array {

void ArrayP::disposeElements() {
  if (disposer_ != nullptr) {
    for (std::int32_t i = 0; i < getLength(); ++i) {
      void* element = get(i);
      disposer_->destroy(&element);
      set(i, element);
    }
  }
  removeAllWithoutDisposing();
}

void ArrayP::clear() {
  disposeElements();
  ArrayOf::clear();
  disposer_ = nullptr;
}

}  // namespace s::col::_array
