// Display positions: list order, switching on and off, delete and move.
#include <gtest/gtest.h>

#include <memory>

#include "data/defaults.h"
#include "data/msgtypes.h"
#include "data/positions.h"

namespace dx470 {
namespace {

class Positions : public ::testing::Test {
 protected:
  void SetUp() override {
    p_ = std::make_unique<PARAM>();
    InitParam(*p_, "Text?");
    // Slots 2, 5, 9 shown as 2, 3, 1; slot 12 defined but hidden.
    for (int slot : {9, 2, 5, 12}) DefineMessage(*p_, slot, kTypeTime, 0, false, "Text?");
    SwitchMessageOff(*p_, 12);
  }
  int Pos(int slot) const { return p_->Lcd.Messages[slot].Position; }
  std::unique_ptr<PARAM> p_;
};

TEST_F(Positions, ListOrder) {
  EXPECT_EQ(ShownMessageCount(*p_), 3);
  EXPECT_EQ(DefinedMessageCount(*p_), 4);
  const auto order = SlotsInDisplayOrder(*p_);
  const std::array<int, 16> expected = {9, 2, 5, 12, 0, 1, 3, 4, 6, 7, 8, 10, 11, 13, 14, 15};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(SlotAtRow(*p_, 3), 12);
  EXPECT_EQ(SlotAtRow(*p_, 16), -1);
  EXPECT_EQ(RowOfSlot(*p_, 5), 2);
  EXPECT_EQ(RowOfSlot(*p_, -1), -1);
  EXPECT_EQ(FirstFreeSlot(*p_), 0);
}

TEST_F(Positions, SwitchingOffClosesTheGapAndOnAppends) {
  SwitchMessageOff(*p_, 9);
  EXPECT_EQ(Pos(9), 0);
  EXPECT_EQ(Pos(2), 1);
  EXPECT_EQ(Pos(5), 2);
  EXPECT_TRUE(SwitchMessageOn(*p_, 9));
  EXPECT_EQ(Pos(9), 3);
  EXPECT_FALSE(SwitchMessageOn(*p_, 0));  // empty slot left alone
  EXPECT_EQ(Pos(0), 0);
}

TEST_F(Positions, DeleteEmptiesTheSlot) {
  Bytes(p_->Lcd.Messages[2])[100] = 7;
  DeleteMessage(*p_, 2, "Text?");
  EXPECT_EQ(p_->MessageKind[2], 0);
  EXPECT_EQ(Pos(2), 0);
  EXPECT_EQ(Bytes(p_->Lcd.Messages[2])[100], 0);
  EXPECT_EQ(Pos(9), 1);
  EXPECT_EQ(Pos(5), 2);
  EXPECT_EQ(DefinedMessageCount(*p_), 3);
}

TEST_F(Positions, MoveSwapsWithTheNeighbourAndWrapsAround) {
  EXPECT_EQ(MoveMessage(*p_, 5, true), 1);  // 5 from 3 to 2
  EXPECT_EQ(Pos(5), 2);
  EXPECT_EQ(Pos(2), 3);
  EXPECT_EQ(MoveMessage(*p_, 9, true), 2);  // first moved up becomes last
  EXPECT_EQ(Pos(9), 3);
  EXPECT_EQ(Pos(2), 1);
  EXPECT_EQ(MoveMessage(*p_, 9, false), 0);    // last moved down becomes first
  EXPECT_EQ(MoveMessage(*p_, 12, false), -1);  // hidden messages do not move
}

}  // namespace
}  // namespace dx470
