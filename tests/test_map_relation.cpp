// The map relation's storage on its own: owned arrays are the object's (copied deep, released
// when replaced), borrowed ones stay the caller's, and the state follows the distribution.
#include <vector>

#include <gtest/gtest.h>

#include "communication/KRZMapRelation.h"

using krz::detail::CKRZMapRelation;
using State = CKRZMapRelation::State;

TEST(MapRelation, OwnedArraysAreCopiedDeepAndBorrowedOnesShared) {
  CKRZMapRelation owned;
  EXPECT_EQ(owned.Now(), State::Unset);
  owned.OwnCounts(2);
  owned.Counts()[0] = 2;
  owned.Counts()[1] = 1;
  owned.OwnRows(2);
  owned.Rows()[0][2] = 7;
  owned.SetRuns({0, 2});
  EXPECT_EQ(owned.Now(), State::OnRankZero);

  CKRZMapRelation copy(owned);
  EXPECT_TRUE(copy.OwnsCounts() && copy.OwnsRows());
  EXPECT_NE(copy.Counts(), owned.Counts());
  EXPECT_NE(copy.Rows()[0], owned.Rows()[0]);
  EXPECT_EQ(copy.Rows()[0][2], 7);
  EXPECT_EQ(copy.RunOf(1), 2);
  owned.Rows()[0][2] = 8; // the copy keeps its own
  EXPECT_EQ(copy.Rows()[0][2], 7);

  std::vector<int> counts{1, 0};
  std::vector<int> row0{0, 4}, row1{0};
  std::vector<int*> rows{row0.data(), row1.data()};
  copy.Borrow(counts.data(), rows.data()); // the owned ones go, with the default relation's runs
  EXPECT_FALSE(copy.OwnsCounts() || copy.OwnsRows());
  EXPECT_EQ(copy.RunOf(1), -1);
  CKRZMapRelation shared(copy);
  EXPECT_EQ(shared.Counts(), counts.data());
  EXPECT_EQ(shared.Rows(), rows.data());

  shared.Distribute(2);
  EXPECT_EQ(shared.Now(), State::Distributed);
  counts[0] = 5; // edited after distribution: what every rank moves by stays
  EXPECT_EQ(shared.Sent(0), 1);
  CKRZMapRelation moved(std::move(shared));
  EXPECT_EQ(moved.Now(), State::Distributed);
  moved.Undistribute();
  EXPECT_EQ(moved.Now(), State::OnRankZero);
}
