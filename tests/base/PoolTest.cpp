#include <gtest/gtest.h>

#include <vector>

#include "s/thread/EasyPooler.h"
#include "s/thread/ObjLocker.h"
#include "s/thread/Pool.h"
#include "s/thread/PoolerBase.h"

namespace {

using s::thread::ClassPool;
using s::thread::EasyPooler;

int gCreated = 0;
int gDestroyed = 0;

// A pooled class that counts constructions and destructions and carries one
// value that clear() must reset.
class Counted final : public s::thread::PooledObject<Counted> {
 public:
  static constexpr s::base::ClassTagText CLASS_TAG = u"s_test_Counted";
  Counted() {
    ++gCreated;
    clear();
  }
  ~Counted() override { ++gDestroyed; }
  void clear() override { value = 0; }
  int value = -1;
};

class Unkept final : public s::thread::PooledObject<Unkept> {
 public:
  static constexpr s::base::ClassTagText CLASS_TAG = u"s_test_Unkept";
  static constexpr std::int32_t POOL_CAPACITY = 0;
  Unkept() { clear(); }
  ~Unkept() override { ++gDestroyed; }
  void clear() override {}
};

// Empties the class pool of Counted so each test starts from no spares.
void drainCounted() {
  std::vector<Counted*> held;
  while (ClassPool<Counted>::instance()->getSpareCount() > 0)
    held.push_back(Counted::obtain());
  for (Counted* c : held)
    delete c;
  gCreated = gDestroyed = 0;
}

TEST(ClassPool, ObtainCreatesOnceThenReusesTheRecycledObjectCleared) {
  drainCounted();
  Counted* first = Counted::obtain();
  EXPECT_EQ(gCreated, 1);
  first->value = 42;
  first->recycle();
  Counted* again = Counted::obtain();
  EXPECT_EQ(again, first);
  EXPECT_EQ(again->value, 0);
  EXPECT_EQ(gCreated, 1);
  EXPECT_EQ(again->getClassTag(), Counted::CLASS_TAG);
  auto* other = static_cast<Counted*>(again->newInstance());
  EXPECT_NE(other, again);
  other->recycle();
  again->recycle();
  drainCounted();
}

TEST(ClassPool, KeepsAtMostCapacitySpareObjects) {
  drainCounted();
  std::vector<Counted*> objects;
  for (int i = 0; i < 1001; ++i)
    objects.push_back(Counted::obtain());
  for (Counted* c : objects)
    c->recycle();
  EXPECT_EQ(ClassPool<Counted>::instance()->getSpareCount(), 1000);
  EXPECT_EQ(gDestroyed, 1);
  drainCounted();
}

TEST(ClassPool, CapacityZeroDestroysEveryRecycledObject) {
  gDestroyed = 0;
  Unkept* object = Unkept::obtain();
  object->recycle();
  EXPECT_EQ(gDestroyed, 1);
  EXPECT_EQ(ClassPool<Unkept>::instance()->getSpareCount(), 0);
}

TEST(ClassPool, OwnedRecyclesOnScopeExit) {
  drainCounted();
  Counted* raw = nullptr;
  {
    auto owned = s::thread::obtainOwned<Counted>();
    raw = owned.get();
    raw->value = 7;
  }
  EXPECT_EQ(ClassPool<Counted>::instance()->getSpareCount(), 1);
  Counted* again = Counted::obtain();
  EXPECT_EQ(again, raw);
  EXPECT_EQ(again->value, 0);
  again->recycle();
  drainCounted();
}

// EasyPooler driven by plain functions on int records.
int gReset = 0;
void* createInt() {
  return new int(5);
}
void destroyInt(void* p) {
  ++gDestroyed;
  delete static_cast<int*>(p);
}
void resetInt(void* p) {
  ++gReset;
  *static_cast<int*>(p) = 0;
}

TEST(EasyPooler, DestructorFaceReleasesAndNullsAndLeavesNullAlone) {
  gDestroyed = gReset = 0;
  {
    EasyPooler pool(2, &createInt, &destroyInt, &resetInt);
    void* record = pool.obtain();
    EXPECT_EQ(*static_cast<int*>(record), 5);
    pool.destroy(&record);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(gReset, 1);
    void* none = nullptr;
    pool.destroy(&none);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(pool.getSpareCount(), 1);
    // The spare record comes back as reset left it.
    void* again = pool.generate();
    EXPECT_EQ(*static_cast<int*>(again), 0);
    pool.release(again);
  }
  EXPECT_EQ(gDestroyed, 1);  // the spare one, at pool destruction
}

class IntFactory final : public s::thread::Factory {
 public:
  ~IntFactory() override { disposeAll(); }
  s::base::IObject* newInstance() const override { return new IntFactory(); }
  void* generate() override { return new int(9); }
  void prepare(void* object) override { *static_cast<int*>(object) = 0; }
  void dispose(void** reference) override {
    ++gDestroyed;
    delete static_cast<int*>(*reference);
    *reference = nullptr;
  }
  std::int32_t sizeOf(void*) override { return 600; }
};

TEST(PoolerBase, CountAndSizeLimitsDecideWhatIsKept) {
  gDestroyed = 0;
  {
    IntFactory factory;
    EXPECT_EQ(factory.getClassTag(), s::thread::Factory::CLASS_TAG);
    factory.setLimits(1, 1024, 1000);
    std::vector<void*> records;
    for (int i = 0; i < 3; ++i)
      records.push_back(factory.obtain());
    for (void* r : records)
      factory.release(r, 10);
    // Kept while the free list holds no more than the count limit.
    EXPECT_EQ(factory.getSpareCount(), 2);
    EXPECT_EQ(gDestroyed, 1);

    IntFactory accounting;
    accounting.setSizeAccounting(true);
    accounting.setLimits(1000, 1024, 1000);
    void* a = accounting.obtain();
    void* b = accounting.obtain();
    accounting.release(a, -1);  // 600 of 1000
    accounting.release(b, -1);  // 1200 would pass the total: disposed of
    EXPECT_EQ(accounting.getSpareCount(), 1);
    EXPECT_EQ(accounting.getTotalSize(), 600);
    void* c = accounting.obtain();
    EXPECT_EQ(accounting.getTotalSize(), 0);
    accounting.release(c, -1);
  }
  EXPECT_EQ(gDestroyed, 1 + 2 + 1 + 1);
}

TEST(ObjLocker, DisposesOwnedObjectThroughItsFunction) {
  gDestroyed = 0;
  {
    s::thread::ObjLocker locker(new int(1), &destroyInt, nullptr);
    s::thread::Locked outer(locker);
    s::thread::Locked inner(locker);  // recursive
  }
  EXPECT_EQ(gDestroyed, 1);
}

}  // namespace
