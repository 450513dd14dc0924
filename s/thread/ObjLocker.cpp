#include "s/thread/ObjLocker.h"

namespace s::thread {

ObjLocker::~ObjLocker() {
  if (owned_ == nullptr) return;
  if (disposeFunction_ != nullptr) {
    disposeFunction_(owned_);
  } else if (disposer_ != nullptr) {
    disposer_->destroy(&owned_);
  } else {
    ::operator delete(owned_);
  }
  owned_ = nullptr;
}

}  // namespace s::thread
