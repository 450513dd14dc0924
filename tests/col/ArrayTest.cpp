#include <gtest/gtest.h>

#include "s/cleaner/Cleaners.h"
#include "s/col/_array/ArrayP.h"
#include "s/col/_array/IntArrays.h"
#include "s/thread/ObjLocker.h"

namespace {

using s::col::_array::ArrayP;
using s::col::_array::ArrayS32;
using s::col::_array::grownCapacity;

TEST(Array, GrowthRule) {
  struct Case {
    std::int32_t from, to;
  } cases[] = {{0, 100},
               {99, 100},
               {100, 300},
               {9'999'999, 29'999'997},
               {10'000'000, 20'000'000},
               {20'000'000, 40'000'000},
               {50'000'000, 75'000'000},
               {99'999'999, 149'999'998},
               {100'000'000, 120'000'000}};
  for (const Case& c : cases)
    EXPECT_EQ(grownCapacity(c.from), c.to) << c.from;

  ArrayS32 array;
  for (int i = 0; i < 101; ++i)
    array.add(i);
  EXPECT_EQ(array.getCapacity(), 300);
  EXPECT_EQ(array.get(100), 100);
}

TEST(Array, InsertRemoveAndCompare) {
  ArrayS32 a;
  a.add(1);
  a.add(3);
  a.insert(1, 2);
  a.insert(3, 4);
  EXPECT_EQ(a.remove(0), 1);
  ASSERT_EQ(a.getLength(), 3);
  EXPECT_EQ(a.get(0), 2);
  EXPECT_EQ(a.get(2), 4);

  ArrayS32 b;
  b.add(2);
  b.add(3);
  EXPECT_EQ(a.compareTo(&b), 1);  // more elements sorts after
  b.add(5);
  EXPECT_EQ(a.compareTo(&b), -1);  // then element by element
  b.set(2, 4);
  EXPECT_TRUE(a.equals(&b));
}

TEST(ArrayP, DisposesOwnedElementsInOrderThroughItsStrategy) {
  ArrayP owning(&s::cleaner::CleanerIObject::instance());
  owning.add(new s::thread::ObjLocker());
  owning.add(new s::thread::ObjLocker());
  owning.disposeElements();  // leak checkers prove both were deleted
  EXPECT_EQ(owning.getLength(), 0);

  ArrayP referring;
  int value = 0;
  referring.add(&value);
  referring.clear();
  EXPECT_EQ(referring.getLength(), 0);
  EXPECT_EQ(std::u16string(referring.getClassTag()), u"s_col__array_ArrayP");
}

}  // namespace
