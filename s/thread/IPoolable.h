#pragma once

namespace s::thread {

// An object that lives in a class pool: obtained from it, handed back to it.
class IPoolable {
 public:
  virtual ~IPoolable() = default;
  // Hands this object back to its class pool; the caller no longer owns it.
  virtual void recycle() = 0;
  // Back to the initial state: every held resource released, every field at
  // its default. Pools run it when an object enters the free list, and every
  // constructor runs it last, so fresh and recycled objects start alike.
  virtual void clear() = 0;
};

}  // namespace s::thread
