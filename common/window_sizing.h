#pragma once
#include <QRect>
#include <QSize>

class QWidget;

namespace velmo {

// What a window is sized from: the screen, the size it was designed at and
// the control it is fitted around (in design coordinates).
struct ScalingInput {
  QSize screen;
  QSize design;
  QRect height_anchor;      // the window ends margin_height below this control
  QRect width_anchor;       // ... and margin_width right of this one
  int margin_height = 90;
  int margin_width = 30;
  bool height_from_top = true;  // false: the anchor's top is not added (main window)
};

struct ScalingResult {
  bool scaled = false;  // false on a 1920-pixel-wide screen
  int M = 1;            // scale factor M / D
  int D = 1;
  QSize size;           // the window's new size
  QSize minimum;
  QSize maximum;        // 2 % growth at most
};

// The screen-scaling rule: on a screen that is not 1920 pixels wide the window
// is scaled by M / D (M = screen height x design width / 1080, D = 85 % of the
// design width) and fitted around its anchor; in every case it may grow by at
// most 2 %.
ScalingResult compute_window_scaling(const ScalingInput& in);

// A length scaled by M / D the way the widget tree is scaled.
int scale_length(int length, int M, int D);
QRect scale_rect(const QRect& r, int M, int D);

// Scales the positions and sizes of the children that are not managed by a
// layout, and every font size set in the tree, by M / D.
void scale_widget_tree(QWidget* root, int M, int D);

// Applies the rule to a window: scales its tree, fits it around the anchors
// and sets its size limits. Returns what was applied.
ScalingResult apply_window_scaling(QWidget* window, QSize screen, QWidget* height_anchor, QWidget* width_anchor,
                                   int margin_height, int margin_width, bool height_from_top = true);

// The size of the screen the windows open on: the primary screen's, or the
// size set below.
QSize primary_screen_size();
// Makes the windows created from now on size themselves for `size` instead
// of the real screen (an empty size goes back to the real one). For checking
// the layouts of every screen on one machine.
void set_screen_size_override(QSize size);

}  // namespace velmo
