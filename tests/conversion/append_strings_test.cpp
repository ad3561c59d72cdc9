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

TEST(AppendStrings, TheRoomOfALongMessageIsNotKeptForTheNext) {
    AppendStrings a;
    const std::string text(3 * AppendStrings::kFreshRoom + 5, 'q');
    a.AddToString(text);
    EXPECT_EQ(a.Take(), text);
    a.AddToString("next");
    const std::string next = a.Take();
    EXPECT_EQ(next, "next");
    EXPECT_LE(next.capacity(), AppendStrings::kFreshRoom);
}
