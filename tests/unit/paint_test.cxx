// Painting a ruler, call by call, with a font whose digits are 4.7 px wide and whose lines are
// 11 px high.
// See LICENSE file for copyright and license details.
#include <gtest/gtest.h>

#include "RulerWindow.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Records what a ruler draws, one string a call.
class RecordingPen : public RulerPen {
public:
  std::vector<std::string> calls;
  void Color(Fl_Color c) override { calls.push_back("color " + std::to_string(c)); }
  void Rectf(int x, int y, int w, int h) override { Add("rectf", {x, y, w, h}); }
  void Font(Fl_Font f, Fl_Fontsize s) override { Add("font", {f, s}); }
  void Line(int x, int y, int x1, int y1) override { Add("line", {x, y, x1, y1}); }
  double Width(const char *text) override { return 4.7 * strlen(text); }
  int Height() override { return 11; }
  void Text(const char *text, int x, int y) override {
    calls.push_back(std::string("text ") + text + " " + std::to_string(x) + " " +
                    std::to_string(y));
  }

private:
  void Add(const char *what, std::initializer_list<int> v) {
    std::string s = what;
    for (int i : v)
      s += " " + std::to_string(i);
    calls.push_back(s);
  }
};

// What a ruler draws, split by distance: the calls for d start with the two lines of its mark.
struct Painting {
  std::vector<std::string> preamble;
  std::map<int, std::vector<std::string>> at; // distance -> its calls
  int marks = 0;
};

Painting Paint(int w, int h, int horizontal, int reversed) {
  RecordingPen pen;
  RulerWindow::Paint(pen, w, h, horizontal, reversed);
  Painting p;
  int lines = 0;
  for (const std::string &c : pen.calls) {
    if (c.rfind("line", 0) == 0 && lines++ % 2 == 0)
      p.marks++;
    if (p.marks == 0)
      p.preamble.push_back(c);
    else
      p.at[2 * (p.marks - 1)].push_back(c);
  }
  return p;
}

using Calls = std::vector<std::string>;

} // namespace

TEST(Paint, FillsTheBackgroundThenSetsBlackInkAndEightPointHelvetica) {
  Painting p = Paint(300, 53, 1, 0);
  EXPECT_EQ(p.preamble, (Calls{"color 133", "rectf 0 0 300 53", "color 56", "font 0 8"}));
}

TEST(Paint, HorizontalRulerMatchesTheWorkedExamples) {
  Painting p = Paint(300, 53, 1, 0);
  EXPECT_EQ(p.at[0], (Calls{"line 0 0 0 20", "line 0 32 0 52", "text 0 -2 30"}));
  EXPECT_EQ(p.at[2], (Calls{"line 2 0 2 5", "line 2 47 2 52"}));
  EXPECT_EQ(p.at[10], (Calls{"line 10 0 10 10", "line 10 42 10 52", "text 1 8 19", "text 1 8 40"}));
  EXPECT_EQ(p.at[100], (Calls{"line 100 0 100 20", "line 100 32 100 52", "text 100 93 30"}));
  EXPECT_EQ(p.at[300], (Calls{"line 300 0 300 20", "line 300 32 300 52", "text 300 293 30"}));
}

TEST(Paint, ReversedHorizontalRulerCountsFromItsLastColumn) {
  Painting p = Paint(300, 53, 1, 1);
  EXPECT_EQ(p.at[0], (Calls{"line 299 52 299 32", "line 299 20 299 0", "text 0 297 30"}));
  EXPECT_EQ(p.at[10],
            (Calls{"line 289 52 289 42", "line 289 10 289 0", "text 1 287 19", "text 1 287 40"}));
  EXPECT_EQ(p.at[100], (Calls{"line 199 52 199 32", "line 199 20 199 0", "text 100 192 30"}));
  Painting odd = Paint(301, 53, 1, 1);
  EXPECT_EQ(odd.at[300], (Calls{"line 0 52 0 32", "line 0 20 0 0", "text 300 -7 30"}));
}

TEST(Paint, VerticalRulerMatchesTheWorkedExamples) {
  Painting p = Paint(67, 300, 0, 0);
  EXPECT_EQ(p.at[0], (Calls{"line 0 0 20 0", "line 46 0 66 0", "text 0 31 4"}));
  EXPECT_EQ(p.at[10],
            (Calls{"line 0 10 10 10", "line 56 10 66 10", "text 1 13 14", "text 1 48 14"}));
  EXPECT_EQ(p.at[50], (Calls{"line 0 50 20 50", "line 46 50 66 50", "text 50 29 54"}));

  Painting r = Paint(67, 300, 0, 1);
  EXPECT_EQ(r.at[0], (Calls{"line 66 299 46 299", "line 20 299 0 299", "text 0 31 303"}));
  EXPECT_EQ(r.at[10],
            (Calls{"line 66 289 56 289", "line 10 289 0 289", "text 1 13 293", "text 1 48 293"}));
  EXPECT_EQ(r.at[50], (Calls{"line 66 249 46 249", "line 20 249 0 249", "text 50 29 253"}));
}

TEST(Paint, MarksEveryTwoPixelsUpToAndIncludingTheLength) {
  for (int w : {300, 301}) {
    Painting p = Paint(w, 53, 1, 0);
    EXPECT_EQ(p.marks, 151) << w;
    EXPECT_EQ(p.at.rbegin()->first, 300) << w;
  }
  struct {
    int len, marks;
  } cases[] = {{-1, 0}, {-40, 0}, {0, 1}, {1, 1}, {2, 2}, {1280, 641}};
  for (auto c : cases) {
    Painting p = Paint(c.len, 53, 1, 0);
    EXPECT_EQ(p.marks, c.marks) << c.len;
    EXPECT_EQ(p.preamble.at(1), "rectf 0 0 " + std::to_string(c.len) + " 53");
  }
  Painting zero = Paint(67, 0, 0, 0);
  EXPECT_EQ(zero.at[0], (Calls{"line 0 0 20 0", "line 46 0 66 0", "text 0 31 4"}));
}

TEST(Paint, MarkLengthsAreTwentyTenAndFive) {
  Painting p = Paint(1100, 53, 1, 0);
  for (int d = 0; d <= 1100; d += 2) {
    int t = d % 50 == 0 ? 20 : d % 10 == 0 ? 10 : 5;
    std::string x = std::to_string(d);
    ASSERT_EQ(p.at[d].at(0), "line " + x + " 0 " + x + " " + std::to_string(t)) << d;
    ASSERT_EQ(p.at[d].at(1), "line " + x + " " + std::to_string(52 - t) + " " + x + " 52") << d;
  }
}

TEST(Paint, NumbersEveryFiftyAndTensDigitsTwiceBetween) {
  Painting p = Paint(2000, 53, 1, 0);
  for (int d = 0; d <= 2000; d += 2) {
    std::vector<std::string> texts;
    for (const std::string &c : p.at[d])
      if (c.rfind("text ", 0) == 0)
        texts.push_back(c.substr(5, c.find(' ', 5) - 5));
    if (d % 50 == 0)
      EXPECT_EQ(texts, Calls{std::to_string(d)}) << d;
    else if (d % 10 == 0)
      EXPECT_EQ(texts, Calls(2, std::to_string(d % 100 / 10))) << d;
    else
      EXPECT_TRUE(texts.empty()) << d;
  }
  EXPECT_EQ(p.at[110].at(2), "text 1 108 19");
  EXPECT_EQ(p.at[1090].at(2), "text 9 1088 19");
  EXPECT_EQ(p.at[1050].at(2), "text 1050 1041 30"); // 4 digits: 18.8 wide, shifted by 9
}

TEST(Paint, FarEdgeOfAVerticalRulerIsAlwaysItsLastColumn) {
  for (int w : {67, 40, 100, 1}) {
    for (int reversed : {0, 1}) {
      Painting p = Paint(w, 120, 0, reversed);
      for (int d : {2, 10, 50}) {
        int t = d == 50 ? 20 : d == 10 ? 10 : 5;
        int y = reversed ? 119 - d : d;
        std::string far = reversed ? "line " + std::to_string(t) + " " + std::to_string(y) + " 0 " +
                                         std::to_string(y)
                                   : "line " + std::to_string(w - 1 - t) + " " + std::to_string(y) +
                                         " " + std::to_string(w - 1) + " " + std::to_string(y);
        EXPECT_EQ(p.at[d].at(1), far) << "w " << w << " reversed " << reversed << " d " << d;
      }
    }
  }
}

TEST(Paint, DigitLabelsSitFifteenFromTheFirstEdgeAndSixteenFromTheFar) {
  // centred at across 15 and T - 17: baselines 19 and T - 13 on a horizontal ruler
  Painting p = Paint(100, 80, 1, 0);
  EXPECT_EQ(p.at[20],
            (Calls{"line 20 0 20 10", "line 20 69 20 79", "text 2 18 19", "text 2 18 67"}));
  EXPECT_EQ(p.at[50].at(2), "text 50 46 43"); // middle (80 - 1) / 2 = 39, baseline 39 + 4
}
