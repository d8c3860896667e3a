// The screen-scaling rule: factors, the fit around the anchor, the 2 % limit.
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include "common/window_sizing.h"

namespace velmo {
namespace {

ScalingInput main_window_on(QSize screen) {
  ScalingInput in;
  in.screen = screen;
  in.design = QSize(1173, 823);
  in.height_anchor = in.width_anchor = QRect(700, 10, 443, 733);
  in.height_from_top = false;
  return in;
}

// The factor follows the screen height; screens 1920 wide keep the design
// size (and the 2 % limit) whatever their height.
TEST(WindowSizing, MainWindowOnEachScreen) {
  struct Case {
    QSize screen;
    bool scaled;
    int M, D;
  } cases[] = {{{1366, 768}, true, 834, 997},   {{1280, 1024}, true, 1112, 997}, {{2560, 1080}, true, 1173, 997},
               {{3840, 2160}, true, 2346, 997}, {{1920, 1080}, false, 0, 0},     {{1920, 768}, false, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screen.width() * 10000 + c.screen.height());
    const ScalingResult r = compute_window_scaling(main_window_on(c.screen));
    EXPECT_EQ(r.scaled, c.scaled);
    if (c.scaled) {
      EXPECT_EQ(r.M, c.M);
      EXPECT_EQ(r.D, c.D);
    } else {
      EXPECT_EQ(r.size, QSize(1173, 823));
      EXPECT_EQ(r.minimum, QSize(1173, 823));
      EXPECT_EQ(r.maximum, QSize(1196, 839));
    }
  }
  // On 768 pixels: picture edges 700..1143 and 10..743 scaled by 834/997.
  const ScalingResult r = compute_window_scaling(main_window_on(QSize(1366, 768)));
  EXPECT_EQ(r.size, QSize(956 + 30, (622 - 8) + 90));
  EXPECT_EQ(r.minimum, r.size);
  EXPECT_EQ(r.maximum, QSize(986 * 102 / 100, 704 * 102 / 100));
}

TEST(WindowSizing, OtherWindowsAddTheAnchorTopAndTheirMargins) {
  ScalingInput in;
  in.screen = QSize(1024, 918);
  in.design = QSize(1000, 700);
  in.height_anchor = QRect(10, 50, 820, 440);
  in.width_anchor = QRect(10, 10, 1025, 300);
  in.margin_height = 50;
  in.margin_width = 20;
  const ScalingResult r = compute_window_scaling(in);
  ASSERT_TRUE(r.scaled);
  EXPECT_EQ(r.M, 918 * 1000 / 1080);
  EXPECT_EQ(r.D, 850);
  const QRect h = scale_rect(in.height_anchor, r.M, r.D);
  const QRect w = scale_rect(in.width_anchor, r.M, r.D);
  EXPECT_EQ(r.size, QSize(w.left() + w.width() + 20, h.top() + h.height() + 50));
}

TEST(WindowSizing, LengthsRoundLikeMulDiv) {
  struct Case {
    int length, M, D, expected;
  } cases[] = {{10, 834, 997, 8}, {743, 834, 997, 622}, {1, 1, 2, 1}, {3, 1, 2, 2}, {-3, 1, 2, -2}, {0, 5, 7, 0}, {100, 1, 0, 100}};
  for (const Case& c : cases) EXPECT_EQ(scale_length(c.length, c.M, c.D), c.expected) << c.length;
  // Edges are scaled, so two touching controls still touch.
  const QRect a = scale_rect(QRect(0, 0, 333, 10), 834, 997), b = scale_rect(QRect(333, 0, 333, 10), 834, 997);
  EXPECT_EQ(a.left() + a.width(), b.left());
}

TEST(WindowSizing, TreeScalingMovesFreeControlsAndScalesFonts) {
  QWidget root;
  root.resize(400, 300);
  QFont f = root.font();
  f.setPixelSize(20);
  root.setFont(f);
  auto* free_label = new QLabel(&root);
  free_label->setGeometry(100, 50, 200, 40);
  auto* own_font = new QLabel(&root);
  QFont g = own_font->font();
  g.setPixelSize(14);
  own_font->setFont(g);
  auto* box = new QWidget(&root);
  box->setGeometry(0, 100, 400, 200);
  auto* layout = new QVBoxLayout(box);
  auto* laid_out = new QLabel(box);
  layout->addWidget(laid_out);

  scale_widget_tree(&root, 1, 2);
  EXPECT_EQ(free_label->geometry(), QRect(50, 25, 100, 20));
  EXPECT_EQ(root.font().pixelSize(), 10);
  EXPECT_EQ(own_font->font().pixelSize(), 7);
  EXPECT_EQ(free_label->font().pixelSize(), 10);  // inherited
  EXPECT_EQ(root.size(), QSize(200, 150));
  EXPECT_EQ(box->geometry(), QRect(0, 50, 200, 100));
}

TEST(WindowSizing, AppliedToAWindowSetsSizeAndLimits) {
  QWidget window;
  window.resize(1000, 700);
  auto* anchor = new QWidget(&window);
  anchor->setGeometry(10, 50, 820, 440);
  const ScalingResult r = apply_window_scaling(&window, QSize(1366, 768), anchor, anchor, 90, 30);
  ASSERT_TRUE(r.scaled);
  EXPECT_EQ(window.size(), r.size);
  EXPECT_EQ(window.minimumSize(), r.size);
  EXPECT_EQ(window.maximumSize(), r.maximum);
  EXPECT_EQ(window.size(), QSize(anchor->geometry().right() + 1 + 30, anchor->geometry().bottom() + 1 + 90));

  QWidget wide;
  wide.resize(1000, 700);
  auto* a2 = new QWidget(&wide);
  a2->setGeometry(10, 50, 820, 440);
  apply_window_scaling(&wide, QSize(1920, 1080), a2, a2, 90, 30);
  EXPECT_EQ(wide.size(), QSize(1000, 700));
  EXPECT_EQ(wide.maximumSize(), QSize(1020, 714));
}

}  // namespace
}  // namespace velmo
