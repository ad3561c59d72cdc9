#include <gtest/gtest.h>

#include "conversion/AppendStrings.h"

using bv::conversion::AppendStrings;

TEST(AppendStrings, GathersPiecesInOrderAndHandsThemOverWhole) {
    AppendStrings a;
    EXPECT_EQ(a.Take(), "");
    a.AddToString("x");
    a.AddToString("");
    a.AddToString(std::string(35000, 'q'));
    a.AddToString("yz", 1);
    EXPECT_EQ(a.size(), 35002u);
    EXPECT_EQ(a.View(), "x" + std::string(35000, 'q') + "y");
    // Taken: its bytes leave without a copy, and the next message starts empty.
    const char* bytes = a.View().data();
    std::string taken = a.Take();
    EXPECT_EQ(taken.data(), bytes);
    EXPECT_EQ(taken.size(), 35002u);
    EXPECT_EQ(a.View(), "");
    a.AddToString("next");
    EXPECT_EQ(a.View(), "next");
    a.Clear();
    EXPECT_EQ(a.size(), 0u);
}

TEST(AppendStrings, ALongMessageIsHandedOverInRoomOfItsOwnSize) {
    AppendStrings a;
    std::string expected;
    for (int i = 0; a.size() < 3 * AppendStrings::kWhole + 5; ++i) {
        const std::string piece(size_t(1000 + i % 7000), char('a' + i % 26));
        a.AddToString(piece);
        expected += piece;
    }
    for (bool view : {true, false}) {
        AppendStrings b;
        b.AddToString(expected);
        if (view) EXPECT_EQ(b.View(), expected);
        EXPECT_EQ(b.Take(), expected);
        b.AddToString("next");
        EXPECT_EQ(b.View(), "next");
    }
    const std::string taken = a.Take();
    EXPECT_EQ(taken, expected);
    EXPECT_LE(taken.capacity(), taken.size() + 64);  // not grown by doubling
    EXPECT_EQ(a.size(), 0u);
    a.AddToString("next");
    EXPECT_EQ(a.Take(), "next");
}
