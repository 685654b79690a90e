// RulerWindow: placement, painting and the key and mouse bindings of a ruler.
// See LICENSE file for copyright and license details.
#include "RulerWindow.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Drag state, shared by all rulers: a press on one ruler ends a drag begun on another.
static bool G_dragging = false;
static int G_drag_dx = 0; // window x minus pointer x at the left press
static int G_drag_dy = 0; // window y minus pointer y at the left press

RulerWindow::RulerWindow(int X, int Y, int W, int H, int horizontal, int reversed)
  : Fl_Double_Window(X, Y, W, H) {
  Construct(horizontal, reversed);
}

RulerWindow::RulerWindow(int W, int H, int horizontal, int reversed)
  : Fl_Double_Window(W, H) {
  Construct(horizontal, reversed);
}

// Show the new ruler at full length against the screen edge through the pointer.
void RulerWindow::Construct(int horizontal, int reversed) {
  static const bool watching = (Fl::add_system_handler(NoteBorder, nullptr), true);
  (void)watching;
  end(); // a copy made later must not become a child of this ruler
  // Not resizable: FLTK then tells the window manager that the ruler's size is fixed, renewed at
  // every resize the program makes, so no manager maximizes, tiles or keeps a minimum on it.
  border(0);
  show();
  horiz_len = Fl::w(); // copies too start at full length
  vert_len = Fl::h();
  SetOrientation(horizontal);
  this->reversed = reversed;
  redraw();
}

// Turn the ruler and place it at (x, y), or against the screen edge through the pointer.
void RulerWindow::SetOrientation(int horizontal, int x, int y) {
  this->horizontal = horizontal;
  if (horizontal)
    Place(x == -1 ? 0 : x, y == -1 ? Fl::event_y_root() : y, horiz_len, HORIZ_THICKNESS);
  else
    Place(x == -1 ? Fl::event_x_root() : x, y == -1 ? 0 : y, VERT_THICKNESS, vert_len);
  redraw();
}

// Put the ruler's pixels at (X, Y). FLTK's x() and y() are where the window's interior is, but
// resize() moves its outer corner: a window manager that borders the window itself (dwm, bspwm)
// would otherwise shift every position by the border's width.
void RulerWindow::Place(int X, int Y, int W, int H) {
  placed_x = X;
  placed_y = Y;
  resize(X - x_border, Y - x_border, W, H);
  x(X); // FLTK's record, until the server reports the move, stays the interior's
  y(Y);
}

// A window manager gives the window an X border, or changes it, in its own time: a copy is
// placed before it has one. A ruler the program has placed is placed again, so that its pixels
// are where they were meant to be; the first one, until it is moved, stays where the window
// manager put it.
void RulerWindow::BorderIs(int width) {
  if (width == x_border)
    return;
  x_border = width;
  if (force_position())
    Place(placed_x, placed_y, w(), h());
}

// Every configure event the server sends a ruler says what border the ruler has now; it reaches
// here before FLTK updates x() and y() from it. Synthetic events from window managers are left
// out: they are told what to put there.
int RulerWindow::NoteBorder(void *event, void *) {
  const XEvent *e = static_cast<const XEvent *>(event);
  if (e->type != ConfigureNotify || e->xconfigure.send_event)
    return 0;
  if (RulerWindow *r = dynamic_cast<RulerWindow *>(fl_find(e->xconfigure.window))) {
#if FL_API_VERSION >= 10400
    const float scale = Fl::screen_scale(r->screen_num());
#else
    const float scale = 1;
#endif
    r->BorderIs(static_cast<int>(e->xconfigure.border_width / scale + 0.5f));
  }
  return 0;
}

// What a ruler's picture depends on: two rulers that agree on these show the same pixels.
struct Look {
  int w, h, horizontal, reversed;
  float scale; // FLTK 1.4 paints offscreen pictures at the screen's scale
  bool operator==(const Look &o) const {
    return w == o.w && h == o.h && horizontal == o.horizontal && reversed == o.reversed &&
           scale == o.scale;
  }
};

struct Picture {
  Look look;
  Fl_Offscreen pixels;
};

// Painted pictures, shared by every ruler of the same look; the most recently drawn last.
static std::vector<Picture> G_pictures;
// Each picture is at most a screen's length by a ruler's thickness, the size of the back buffer
// FLTK already keeps for every ruler. Four hold a screen-wide and a screen-high ruler counting
// either way, the looks a session keeps coming back to, so memory does not grow with the rulers.
const size_t MAX_PICTURES = 4;

// The painted picture of a look: the one kept, or a new one painted with Paint.
static Fl_Offscreen PictureOf(const Look &look) {
  for (size_t i = 0; i < G_pictures.size(); i++) {
    if (G_pictures[i].look == look) {
      Picture p = G_pictures[i];
      G_pictures.erase(G_pictures.begin() + i);
      G_pictures.push_back(p);
      return p.pixels;
    }
  }
  if (G_pictures.size() == MAX_PICTURES) {
    fl_delete_offscreen(G_pictures.front().pixels);
    G_pictures.erase(G_pictures.begin());
  }
  Fl_Offscreen pixels = fl_create_offscreen(look.w, look.h);
  {
    fl_begin_offscreen(pixels);
    FltkPen pen;
    RulerWindow::Paint(pen, look.w, look.h, look.horizontal, look.reversed);
    fl_end_offscreen();
  }
  G_pictures.push_back({look, pixels});
  return pixels;
}

// Show the ruler's picture: painted once per look, copied on every later repaint (a drag asks
// for one at every step).
void RulerWindow::draw() {
#if FL_API_VERSION >= 10400
  const float scale = Fl::screen_scale(screen_num());
#else
  const float scale = 1;
#endif
  fl_copy_offscreen(0, 0, w(), h(), PictureOf({w(), h(), horizontal, reversed, scale}), 0, 0);
}

// Draw text centred on (cx, cy).
static void CentredText(RulerPen &pen, const char *text, int cx, int cy) {
  int tw = static_cast<int>(pen.Width(text));
  int fh = pen.Height();
  pen.Text(text, cx - tw / 2, cy + fh / 2 - 1);
}

void RulerWindow::Paint(RulerPen &pen, int w, int h, int horizontal, int reversed) {
  pen.Color(RULER_COLOR);
  pen.Rectf(0, 0, w, h);
  pen.Color(FL_BLACK);
  pen.Font(FL_HELVETICA, 8);

  const int len = horizontal ? w : h;
  const int thick = horizontal ? h : w;
  // Reversing mirrors both axes, so a reversed ruler's zero is on its last pixel, L - 1.
  auto line = [&](int x, int y, int x1, int y1) {
    if (reversed)
      pen.Line(w - 1 - x, h - 1 - y, w - 1 - x1, h - 1 - y1);
    else
      pen.Line(x, y, x1, y1);
  };
  auto label = [&](const char *text, int along, int across) {
    if (horizontal)
      CentredText(pen, text, along, across);
    else
      CentredText(pen, text, across, along);
  };

  char text[80];
  for (int d = 0; d <= len; d += 2) {
    const int t = d % 50 == 0 ? 20 : d % 10 == 0 ? 10 : 5;
    if (horizontal) {
      line(d, 0, d, t);
      line(d, h - 1 - t, d, h - 1);
    } else {
      line(0, d, t, d);
      line(w - 1 - t, d, w - 1, d);
    }
    const int along = reversed ? len - 1 - d : d;
    if (d % 50 == 0) {
      snprintf(text, sizeof text, "%d", d);
      label(text, along, (thick - 1) / 2);
    } else if (d % 10 == 0) {
      snprintf(text, sizeof text, "%d", d % 100 / 10);
      label(text, along, 15);
      label(text, along, thick - 17); // 16 in from the far edge
    }
  }
}

int RulerWindow::Grown(int len, int limit) {
  int grown = len * 10 / 9;
  return grown > limit ? limit : grown;
}

int RulerWindow::Shrunk(int len) {
  // 167 is the smallest length whose nine tenths is still at least MIN_LEN
  return len < 167 ? MIN_LEN : len * 9 / 10;
}

// Use every key and button press, bound or not, so that FLTK tries no shortcut with it.
int RulerWindow::handle(int event) {
  int ret = Fl_Double_Window::handle(event);
  switch (event) {
    case FL_PUSH:
    case FL_KEYDOWN:
      G_dragging = false;
      Bind(Fl::event_key());
      return 1;
    case FL_RELEASE:
      // FLTK 1.3 can hold back the last motion of a fast drag; the release is where it ended
      if (G_dragging)
        FollowPointer();
      G_dragging = false;
      return 1;
    case FL_DRAG:
      if (G_dragging)
        FollowPointer();
      return 1;
  }
  return ret;
}

// Move the ruler so that the point grabbed at the left press is under the pointer.
void RulerWindow::FollowPointer() {
  Place(Fl::event_x_root() + G_drag_dx, Fl::event_y_root() + G_drag_dy, w(), h());
  redraw();
}

// Act on a key or button press.
void RulerWindow::Bind(int key) {
  switch (key) {
    case '+': // lengthen by a ninth, up to the screen
    case '=':
    case FL_KP + '+':
      SetLength(Grown(horizontal ? horiz_len : vert_len, horizontal ? Fl::w() : Fl::h()));
      break;
    case '-': // shorten by a tenth, down to MIN_LEN
    case FL_KP + '-':
      SetLength(Shrunk(horizontal ? horiz_len : vert_len));
      break;
    case FL_Left: // against an edge through the pointer; the arrow points at the zero
    case FL_Right:
      horizontal = 1;
      Place(0, Fl::event_y_root(), horiz_len, HORIZ_THICKNESS);
      reversed = key == FL_Right;
      redraw();
      break;
    case FL_Up:
    case FL_Down:
      horizontal = 0;
      Place(Fl::event_x_root(), 0, VERT_THICKNESS, vert_len);
      reversed = key == FL_Down;
      redraw();
      break;
    case 'c': // copy through the pointer, at full length
    case 'C':
    case FL_Button + FL_MIDDLE_MOUSE:
      new RulerWindow(Fl::event_x_root(), Fl::event_y_root(), 1, 1, horizontal, reversed);
      break;
    case FL_Button + FL_LEFT_MOUSE: // reverse or turn on repeated clicks, then drag
      LeftPress();
      break;
    case FL_Escape: // close this ruler
      hide();
      break;
    case 'w': // Ctrl+W, Ctrl+X: close this ruler
    case 'x':
      if (Fl::event_state() & FL_CTRL)
        hide();
      break;
    case 'q': // quit every ruler, whatever the modifiers
      exit(1);
  }
}

// A left press: the click action its place in a run of clicks calls for, then a drag anchor.
void RulerWindow::LeftPress() {
  switch (Fl::event_clicks()) {
    case 1: // double click
    case 3:
      reversed ^= 1;
      redraw();
      break;
    case 2: // triple click: turn, zero at the start
      SetOrientation(!horizontal);
      reversed = 0;
      redraw();
      break;
    case 4: // fifth click: turn back, zero at the far end
      SetOrientation(!horizontal);
      reversed = 1;
      redraw();
      break;
  }
  // read after the click action, so that a turned ruler is dragged from its new place
  G_drag_dx = x() - Fl::event_x_root();
  G_drag_dy = y() - Fl::event_y_root();
  G_dragging = true;
}

// Give the ruler a new length in its present orientation, in place.
void RulerWindow::SetLength(int len) {
  if (horizontal) {
    horiz_len = len;
    Place(x(), y(), len, HORIZ_THICKNESS);
  } else {
    vert_len = len;
    Place(x(), y(), VERT_THICKNESS, len);
  }
}
