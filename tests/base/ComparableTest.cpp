#include <gtest/gtest.h>

#include <cstdint>

#include "s/cleaner/Cleaners.h"
#include "s/comp/Comparators.h"
#include "s/thread/ObjLocker.h"

namespace {

using s::thread::ObjLocker;

TEST(Comparable, DefaultsAreIdentityAndAddressOrder) {
  ObjLocker a;
  ObjLocker b;
  EXPECT_EQ(a.compareTo(&a), 0);
  EXPECT_TRUE(a.equals(&a));
  EXPECT_FALSE(a.equals(&b));
  EXPECT_EQ(a.compareTo(&b), -b.compareTo(&a));
  EXPECT_NE(a.compareTo(&b), 0);
  EXPECT_EQ(a.compareTo(&b), &a < &b ? -1 : 1);
  // One hash per class, not per object.
  EXPECT_EQ(a.hashCode(), b.hashCode());
  EXPECT_EQ(a.hashCodeIgnoreCase(), a.hashCode());
  EXPECT_EQ(a.getClassTag(), ObjLocker::CLASS_TAG);
}

TEST(Comparators, ReadElementsThroughPointers) {
  const std::uint32_t allOnes = 0xFFFFFFFFu;
  const std::uint32_t one = 1;
  EXPECT_EQ(s::comp::CompU32().compare(&allOnes, &one), 1);
  EXPECT_EQ(s::comp::CompS32().compare(&allOnes, &one), -1);
  EXPECT_EQ(s::comp::CompS32().compareIgnoreCase(&one, &one), 0);
  const std::int8_t minus = -1;
  const std::int8_t plus = 1;
  EXPECT_EQ(s::comp::CompS08().compare(&minus, &plus), -1);
  EXPECT_EQ(s::comp::CompU08().compare(&minus, &plus), 1);
  EXPECT_EQ(std::u16string(s::comp::CompU08().getClassTag()), u"s_comp_CompU08");

  // With a comparator, compareTo and equals ask it.
  ObjLocker a;
  ObjLocker b;
  const s::comp::CompP byAddress;
  EXPECT_EQ(a.compareTo(&b, &byAddress), byAddress.compare(&a, &b));
}

TEST(Cleaners, DestroyNullsTheReferenceAndLeavesNullAlone) {
  void* object = new ObjLocker();
  s::cleaner::CleanerIObject::instance().destroy(&object);
  EXPECT_EQ(object, nullptr);
  s::cleaner::CleanerIObject::instance().destroy(&object);
  EXPECT_EQ(object, nullptr);

  void* raw = ::operator new(16);
  s::cleaner::CleanerRawObject::instance().destroy(&raw);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(&s::cleaner::CleanerRawObject::instance(), &s::cleaner::CleanerRawObject::instance());
}

}  // namespace
