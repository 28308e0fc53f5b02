#include <gtest/gtest.h>

#include "image/DibGraphic.h"

TEST(DibGraphic, StrideOfNarrowBilevelRows) {
  TDibGraphic g;
  g.NewImage(1, 1, ifBlackWhite);
  EXPECT_EQ(g.BytesPerScanLine(), 4);
  g.NewImage(33, 1, ifBlackWhite);
  EXPECT_EQ(g.BytesPerScanLine(), 8);
}
