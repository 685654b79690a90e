// Lengthening and shortening a ruler.
// See LICENSE file for copyright and license details.
#include <gtest/gtest.h>

#include "RulerWindow.h"

TEST(LengthSteps, GrowingAddsANinthTruncated) {
  int len = 150;
  for (int want : {166, 184, 204, 226, 251, 278}) {
    len = RulerWindow::Grown(len, 1920);
    EXPECT_EQ(len, want);
  }
}

TEST(LengthSteps, GrowingStopsAtTheScreen) {
  EXPECT_EQ(RulerWindow::Grown(1900, 1920), 1920);
  EXPECT_EQ(RulerWindow::Grown(1920, 1920), 1920);
  EXPECT_EQ(RulerWindow::Grown(1728, 1920), 1920);
  EXPECT_EQ(RulerWindow::Grown(1727, 1920), 1918);
}

TEST(LengthSteps, ShrinkingTakesATenthButNeverGoesBelow150) {
  struct {
    int from, to;
  } cases[] = {{184, 165}, {165, 150}, {166, 150},   {167, 150},  {168, 151},
               {150, 150}, {100, 150}, {1920, 1728}, {1280, 1152}};
  for (auto c : cases)
    EXPECT_EQ(RulerWindow::Shrunk(c.from), c.to) << c.from;
}
