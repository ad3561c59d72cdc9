#include <gtest/gtest.h>

#include "conversion/AppendStrings.h"

using bv::conversion::AppendStrings;

TEST(AppendStrings, GathersPiecesInOrderAndGrowsInSteps) {
    AppendStrings a;
    EXPECT_EQ(a.ReturnString(), "");

    AppendStrings b;
    b.AddToString("x");
    b.AddToString("yz");
    EXPECT_EQ(b.capacity(), 10000u);
    EXPECT_EQ(b.ReturnString(), "xyz");
    EXPECT_EQ(b.capacity(), 3u);

    AppendStrings c;
    std::string first(9999, 'a');
    c.AddToString(first);
    c.AddToString("bc");
    EXPECT_EQ(c.capacity(), 20000u);
    EXPECT_EQ(c.ReturnString(), first + "bc");

    AppendStrings d;
    d.AddToString("");
    EXPECT_EQ(d.size(), 0u);
    EXPECT_EQ(d.ReturnString(), "");
}

TEST(AppendStrings, PieceLargerThanOneStepFitsAndBigMessagesGrowGeometrically) {
    AppendStrings a;
    std::string big(35000, 'q');
    a.AddToString("start");
    a.AddToString(big);
    EXPECT_GE(a.capacity(), big.size() + 5);
    EXPECT_EQ(a.View(), "start" + big);

    // 64 MB in 1 KB lines: the number of reallocations stays small (geometric growth).
    AppendStrings m;
    std::string line(1024, 'l');
    size_t lastCap = 0, growths = 0;
    for (int i = 0; i < 64 * 1024; ++i) {
        m.AddToString(line);
        if (m.capacity() != lastCap) {
            ++growths;
            lastCap = m.capacity();
        }
    }
    EXPECT_EQ(m.size(), size_t(64) * 1024 * 1024);
    EXPECT_LT(growths, 60u);
}

TEST(AppendStrings, ClearKeepsRoomForTheNextMessage) {
    AppendStrings a;
    a.AddToString(std::string(50000, 'z'));
    size_t cap = a.capacity();
    a.Clear();
    EXPECT_EQ(a.View(), "");
    a.AddToString("next");
    EXPECT_EQ(a.View(), "next");
    EXPECT_EQ(a.capacity(), cap);
}
