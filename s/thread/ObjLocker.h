#pragma once

#include <mutex>

#include "s/base/IDestructor.h"
#include "s/base/IObject.h"

namespace s::thread {

// The library's general lock object: a recursive lock that may also own one
// object, disposed of when the locker goes.
class ObjLocker : public base::IObject {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_thread_ObjLocker";
  using DisposeFunction = void (*)(void*);

  ObjLocker() = default;
  ObjLocker(void* owned, DisposeFunction disposeFunction, base::IDestructor* disposer)
      : owned_(owned), disposeFunction_(disposeFunction), disposer_(disposer) {}
  ObjLocker(const ObjLocker&) = delete;
  ObjLocker& operator=(const ObjLocker&) = delete;
  // Disposes of the owned object by the first available of: the disposal
  // function, the disposal strategy. An owned object without either is a
  // plain allocation and is freed with the global delete.
  ~ObjLocker() override;

  base::ClassTag getClassTag() const override { return CLASS_TAG; }
  base::IObject* newInstance() const override { return new ObjLocker(); }

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool tryLock() { return mutex_.try_lock(); }

  void* getOwned() const { return owned_; }

 private:
  void* owned_ = nullptr;
  DisposeFunction disposeFunction_ = nullptr;
  base::IDestructor* disposer_ = nullptr;
  std::recursive_mutex mutex_;
};

// Scope guard for an ObjLocker.
class Locked {
 public:
  explicit Locked(ObjLocker& locker) : locker_(locker) { locker_.lock(); }
  ~Locked() { locker_.unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  ObjLocker& locker_;
};

}  // namespace s::thread
