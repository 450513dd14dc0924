#include "s/thread/PoolerBase.h"

#include "s/col/_array/ArrayP.h"

namespace s::thread {

PoolerBase::PoolerBase() : freeList_(std::make_unique<col::_array::ArrayP>()) {}

PoolerBase::~PoolerBase() = default;

void PoolerBase::disposeAll() {
  for (std::int32_t i = 0; i < freeList_->getLength(); ++i) {
    void* object = freeList_->get(i);
    dispose(&object);
  }
  freeList_->removeAllWithoutDisposing();
  totalSize_ = 0;
}

std::int32_t PoolerBase::sizeOf(void*) {
  return 1024;
}

void PoolerBase::release(void* object, std::int32_t size) {
  if (object == nullptr) return;
  if (sizeAccounting_ && size == -1) size = sizeOf(object);
  {
    Locked guard(lock_);
    bool keep = freeList_->getLength() <= countLimit_;
    if (sizeAccounting_) {
      keep = keep && size <= sizeLimit_ && totalSize_ + size <= totalLimit_;
    }
    if (keep) {
      prepare(object);
      freeList_->add(object);
      if (sizeAccounting_) totalSize_ += size;
      return;
    }
  }
  dispose(&object);
}

void* PoolerBase::obtain() {
  {
    Locked guard(lock_);
    if (freeList_->getLength() > 0) {
      void* object = freeList_->removeLast();
      if (sizeAccounting_) totalSize_ -= sizeOf(object);
      return object;
    }
  }
  return generate();
}

void PoolerBase::destroy(void** reference) {
  if (reference == nullptr || *reference == nullptr) return;
  release(*reference, -1);
  *reference = nullptr;
}

std::int32_t PoolerBase::getSpareCount() {
  Locked guard(lock_);
  return freeList_->getLength();
}

}  // namespace s::thread
