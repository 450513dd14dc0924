#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

#include "s/base/IObject.h"
#include "s/thread/EasyPooler.h"
#include "s/thread/IPoolable.h"

namespace s::thread {

// The class-level pool of T: one EasyPooler per class, created on first use
// and destroyed at process exit (function-local statics go in reverse order of
// creation). T::POOL_CAPACITY spare objects are kept; 0 means every recycled
// object is destroyed at once. After the pool is gone, obtain and release fall
// back to plain allocation so that late recycles at exit stay safe.
template <class T>
class ClassPool {
 public:
  static T* obtain() {
    EasyPooler* pooler = instance();
    return static_cast<T*>(pooler != nullptr ? pooler->obtain() : create());
  }

  static void release(T* object) {
    if (object == nullptr) return;
    EasyPooler* pooler = instance();
    if (pooler != nullptr) {
      pooler->release(object);
    } else {
      destroy(object);
    }
  }

  // Null once the pool has been destroyed at exit.
  static EasyPooler* instance() {
    static Holder holder;
    return gone_.load(std::memory_order_acquire) ? nullptr : &holder.pooler;
  }

 private:
  struct Holder {
    EasyPooler pooler{T::POOL_CAPACITY, &create, &destroy, &reset};
    ~Holder() { gone_.store(true, std::memory_order_release); }
  };

  static void* create() { return new (std::nothrow) T(); }
  static void destroy(void* object) { delete static_cast<T*>(object); }
  static void reset(void* object) { static_cast<T*>(object)->clear(); }

  static inline std::atomic<bool> gone_{false};
};

// Base of every pooled library class T whose primary interface is Base (an
// IObject): answers T's class tag, makes new instances from T's pool and
// hands recycled objects back to it. T declares CLASS_TAG, implements
// clear(), and calls clear() at the end of its constructor.
template <class Base>
class WithPoolable : public Base, public IPoolable {};

// Adds IPoolable unless the primary interface already carries it.
template <class Base>
using PoolableBase =
    std::conditional_t<std::is_base_of_v<IPoolable, Base>, Base, WithPoolable<Base>>;

template <class T, class Base = base::IObject>
class PooledObject : public PoolableBase<Base> {
 public:
  static constexpr std::int32_t POOL_CAPACITY = 1000;

  static T* obtain() { return ClassPool<T>::obtain(); }

  base::ClassTag getClassTag() const override { return T::CLASS_TAG; }
  base::IObject* newInstance() const override { return obtain(); }
  void recycle() override { ClassPool<T>::release(static_cast<T*>(this)); }
};

// Ownership of a pooled object for one scope: recycled when the scope ends,
// so early returns never leak.
struct Recycler {
  template <class T>
  void operator()(T* object) const {
    if (object != nullptr) object->recycle();
  }
};

template <class T>
using Owned = std::unique_ptr<T, Recycler>;

template <class T>
Owned<T> own(T* object) {
  return Owned<T>(object);
}

template <class T>
Owned<T> obtainOwned() {
  return Owned<T>(T::obtain());
}

// Recycles *reference (when set) and nulls it.
template <class T>
void recycleAndNull(T*& reference) {
  if (reference != nullptr) {
    reference->recycle();
    reference = nullptr;
  }
}

}  // namespace s::thread
