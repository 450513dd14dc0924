#include "s/thread/EasyPooler.h"

#include "s/col/_array/ArrayP.h"

namespace s::thread {

EasyPooler::EasyPooler(std::int32_t capacity, CreateFunction create, DestroyFunction destroy,
                       ResetFunction reset)
    : freeList_(std::make_unique<col::_array::ArrayP>()),
      capacity_(capacity),
      create_(create),
      destroy_(destroy),
      reset_(reset) {}

EasyPooler::~EasyPooler() {
  for (std::int32_t i = 0; i < freeList_->getLength(); ++i)
    destroy_(freeList_->get(i));
  freeList_->removeAllWithoutDisposing();
}

base::IObject* EasyPooler::newInstance() const {
  return new EasyPooler(capacity_, create_, destroy_, reset_);
}

void EasyPooler::destroy(void** reference) {
  if (reference == nullptr || *reference == nullptr) return;
  release(*reference);
  *reference = nullptr;
}

void* EasyPooler::obtain() {
  {
    Locked guard(lock_);
    if (freeList_->getLength() > 0) return freeList_->removeLast();
  }
  return create_();
}

void EasyPooler::release(void* object) {
  if (object == nullptr) return;
  {
    Locked guard(lock_);
    if (freeList_->getLength() < capacity_) {
      reset_(object);
      freeList_->add(object);
      return;
    }
  }
  destroy_(object);
}

std::int32_t EasyPooler::getSpareCount() {
  Locked guard(lock_);
  return freeList_->getLength();
}

}  // namespace s::thread
