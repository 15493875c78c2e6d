// The shared growable array: removal by moving the last element, adding an
// element of itself, independent copies, refused reservations.
#include "math/Types.h"

#include <gtest/gtest.h>

#include <vector>

static std::vector<int> Items(const Vector<int>& v) { return std::vector<int>(v.begin(), v.end()); }

TEST(VectorGrowth, AddOfAnElementOfItselfSurvivesReallocation) {
    Vector<int> v(1, 1);
    v.Add(42);
    for (int i = 0; i < 20; ++i) v.Add(v.Last());
    EXPECT_EQ(Items(v), std::vector<int>(21, 42));
}

TEST(VectorRemoval, RemoveMovesTheLastElement) {
    Vector<int> v;
    for (int i = 1; i <= 4; ++i) v.Add(i);
    EXPECT_TRUE(v.Remove(1));
    EXPECT_FALSE(v.Remove(7));
    EXPECT_EQ(Items(v), (std::vector<int>{4, 2, 3}));
}

TEST(VectorCopy, CopiesAreIndependent) {
    Vector<int> a, c;
    a.Add(5);
    Vector<int> b(a);
    b.Add(6);
    c = b;
    a[0] = 9;
    EXPECT_EQ(Items(b), (std::vector<int>{5, 6}));
    EXPECT_EQ(Items(c), (std::vector<int>{5, 6}));
}

TEST(VectorReserve, RefusesSizesThatOverflow) {
    Vector<double> v;
    EXPECT_FALSE(v.Reserve(0xFFFFFFFFu));
    EXPECT_EQ(v.Capacity(), 10u);
}

// A million elements in a few dozen reallocations: growing by the fixed step
// alone took a hundred thousand, each a copy wherever realloc moves the block.
TEST(VectorGrowth, LongListsGrowGeometrically) {
    Vector<int> v;
    unsigned int grown = 0, capacity = v.Capacity();
    for (int i = 0; i < 1000000; ++i) {
        v.Add(i);
        if (v.Capacity() != capacity) ++grown, capacity = v.Capacity();
    }
    EXPECT_EQ(v[999999], 999999);
    EXPECT_LT(grown, 40u);
    EXPECT_LT(v.Capacity(), 1500000u + 10u);
}
