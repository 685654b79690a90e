// RulerWindow: a borderless window painted as a pixel ruler, moved and changed by key and mouse.
// See LICENSE file for copyright and license details.
#ifndef PIXTAPE_RULERWINDOW_H
#define PIXTAPE_RULERWINDOW_H

#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

const int HORIZ_THICKNESS = 53;   // height of a horizontal ruler
const int VERT_THICKNESS = 67;    // width of a vertical ruler
const int MIN_LEN = 150;          // shortening stops here
const Fl_Color RULER_COLOR = 133; // RGB (255, 182, 63) in FLTK's default colour map

// The drawing calls a ruler is painted with: FLTK's on screen, a recording in the tests.
class RulerPen {
public:
  virtual ~RulerPen() = default;
  virtual void Color(Fl_Color c) = 0;
  virtual void Rectf(int x, int y, int w, int h) = 0;
  virtual void Font(Fl_Font face, Fl_Fontsize size) = 0;
  virtual void Line(int x, int y, int x1, int y1) = 0;
  virtual double Width(const char *text) = 0;
  virtual int Height() = 0;
  virtual void Text(const char *text, int x, int y) = 0;
};

// FLTK's drawing functions, for painting a ruler on screen.
class FltkPen : public RulerPen {
public:
  void Color(Fl_Color c) override { fl_color(c); }
  void Rectf(int x, int y, int w, int h) override { fl_rectf(x, y, w, h); }
  void Font(Fl_Font face, Fl_Fontsize size) override { fl_font(face, size); }
  void Line(int x, int y, int x1, int y1) override { fl_line(x, y, x1, y1); }
  double Width(const char *text) override { return fl_width(text); }
  int Height() override { return fl_height(); }
  void Text(const char *text, int x, int y) override { fl_draw(text, x, y); }
};

class RulerWindow : public Fl_Double_Window {
public:
  // Shows a ruler placed against the screen edge through the pointer.
  RulerWindow(int X, int Y, int W, int H, int horizontal, int reversed);
  // Shows a ruler where the window system puts a new window (the first one, at start-up).
  RulerWindow(int W, int H, int horizontal, int reversed);

  // Turns the ruler and places it at (x, y); -1 puts it against the screen edge through the
  // pointer instead.
  void SetOrientation(int horizontal, int x = -1, int y = -1);

  int handle(int event) override;

  // Paints a w by h ruler: background, marks every 2 px, digits every 10, numbers every 50.
  static void Paint(RulerPen &pen, int w, int h, int horizontal, int reversed);
  // The length one lengthening step gives, never more than limit (the screen).
  static int Grown(int len, int limit);
  // The length one shortening step gives, never less than MIN_LEN.
  static int Shrunk(int len);

  int horizontal = 1; // 1: along x; 0: along y
  int reversed = 0;   // 1: numbers count from the right or bottom end
  int horiz_len = 0;  // width whenever the program sizes it as a horizontal ruler
  int vert_len = 0;   // height whenever the program sizes it as a vertical ruler

protected:
  void draw() override;

private:
  void Construct(int horizontal, int reversed);
  void Bind(int key);
  void LeftPress();
  void FollowPointer();
  void SetLength(int len);
  void Place(int X, int Y, int W, int H);
  void BorderIs(int width);
  static int NoteBorder(void *event, void *);

  int x_border = 0; // the X border a window manager has put around the window, in FLTK's units
  int placed_x = 0; // where the program last put the ruler's pixels
  int placed_y = 0;
};

#endif
