// The shared growable array: growth, removal by moving the last element, copies.
#include "math/Types.h"

#include <gtest/gtest.h>

TEST(VectorGrowth, GrowsByItsStepAndKeepsCapacityAcrossClear) {
    Vector<int> v;
    EXPECT_EQ(v.Capacity(), 10u);
    for (int i = 0; i < 11; ++i) v.Add(i);
    EXPECT_EQ(v.Capacity(), 20u);
    Vector<int> one(1, 1);
    one.Add(1);
    one.Add(2);
    EXPECT_EQ(one.Capacity(), 2u);
    v.Clear();
    EXPECT_EQ(v.Size(), 0u);
    EXPECT_EQ(v.Capacity(), 20u);
}

TEST(VectorGrowth, AddOfAnElementOfItselfSurvivesReallocation) {
    Vector<int> v(1, 1);
    v.Add(42);
    for (int i = 0; i < 20; ++i) v.Add(v[0]);
    for (unsigned i = 0; i < v.Size(); ++i) EXPECT_EQ(v[i], 42);
}

TEST(VectorRemoval, RemovingMovesTheLastElementIntoTheSlot) {
    Vector<int> v;
    v.Add(1);
    v.Add(2);
    v.Add(3);
    EXPECT_TRUE(v.Remove(1));
    ASSERT_EQ(v.Size(), 2u);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 2);
    EXPECT_FALSE(v.Remove(7));
    EXPECT_EQ(v.Size(), 2u);
}

TEST(VectorRemoval, OrderedRemovalKeepsOrder) {
    Vector<int> v;
    for (int i = 0; i < 4; ++i) v.Add(i);
    v.RemoveOrdered(1);
    ASSERT_EQ(v.Size(), 3u);
    EXPECT_EQ(v[0], 0);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 3);
}

TEST(VectorCopy, CopiesAreIndependent) {
    Vector<int> a;
    a.Add(5);
    Vector<int> b(a);
    b.Add(6);
    a[0] = 9;
    EXPECT_EQ(a.Size(), 1u);
    ASSERT_EQ(b.Size(), 2u);
    EXPECT_EQ(b[0], 5);
    Vector<int> c;
    c = b;
    EXPECT_EQ(c.Size(), 2u);
    EXPECT_EQ(c[1], 6);
}

TEST(VectorReserve, RefusesSizesThatOverflow) {
    Vector<double> v;
    EXPECT_FALSE(v.Reserve(0xFFFFFFFFu));
    EXPECT_EQ(v.Capacity(), 10u);
}
