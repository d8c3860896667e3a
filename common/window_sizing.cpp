#include "common/window_sizing.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

#include <cstdint>

namespace velmo {

int scale_length(int length, int M, int D) {
  if (D == 0) return length;
  // Rounded like the toolkit's MulDiv: half away from zero.
  const int64_t p = int64_t(length) * M;
  const int64_t half = D / 2;
  const int64_t q = p >= 0 ? (p + half) / D : -((-p + half) / D);
  return int(q);
}

QRect scale_rect(const QRect& r, int M, int D) {
  // Edges are scaled, so neighbouring controls stay neighbours.
  const int left = scale_length(r.left(), M, D);
  const int top = scale_length(r.top(), M, D);
  const int right = scale_length(r.left() + r.width(), M, D);
  const int bottom = scale_length(r.top() + r.height(), M, D);
  return QRect(left, top, right - left, bottom - top);
}

ScalingResult compute_window_scaling(const ScalingInput& in) {
  ScalingResult out;
  out.size = in.design;
  const int D = in.design.width() * 85 / 100;
  if (in.screen.width() != 1920 && D > 0) {
    out.scaled = true;
    out.M = in.screen.height() * in.design.width() / 1080;
    out.D = D;
    const QRect h = scale_rect(in.height_anchor, out.M, out.D);
    const QRect w = scale_rect(in.width_anchor, out.M, out.D);
    out.size = QSize(w.left() + w.width() + in.margin_width,
                     (in.height_from_top ? h.top() : 0) + h.height() + in.margin_height);
  }
  out.minimum = out.size;
  out.maximum = QSize(out.size.width() * 102 / 100, out.size.height() * 102 / 100);
  return out;
}

static void scale_font(QWidget* w, int M, int D) {
  QFont f = w->font();
  if (f.pixelSize() > 0)
    f.setPixelSize(std::max(1, scale_length(f.pixelSize(), M, D)));
  else if (f.pointSizeF() > 0)
    f.setPointSizeF(f.pointSizeF() * M / D);
  w->setFont(f);
}

static bool in_layout(QWidget* w) {
  QWidget* p = w->parentWidget();
  return p && p->layout() && p->layout()->indexOf(w) >= 0;
}

static void scale_children(QWidget* parent, int M, int D) {
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->isWindow()) continue;
    // A font set here with its own size does not follow the parent's.
    if (w->testAttribute(Qt::WA_SetFont) && (w->font().resolveMask() & QFont::SizeResolved)) scale_font(w, M, D);
    if (!in_layout(w)) w->setGeometry(scale_rect(w->geometry(), M, D));
    scale_children(w, M, D);
  }
}

void scale_widget_tree(QWidget* root, int M, int D) {
  if (!root || D <= 0) return;
  scale_font(root, M, D);
  scale_children(root, M, D);
  root->resize(scale_length(root->width(), M, D), scale_length(root->height(), M, D));
}

static QRect rect_in(QWidget* window, QWidget* anchor) {
  if (!anchor) return QRect(QPoint(0, 0), window->size());
  return QRect(anchor->mapTo(window, QPoint(0, 0)), anchor->size());
}

ScalingResult apply_window_scaling(QWidget* window, QSize screen, QWidget* height_anchor, QWidget* width_anchor,
                                   int margin_height, int margin_width, bool height_from_top) {
  if (window->layout()) window->layout()->activate();
  ScalingInput in;
  in.screen = screen;
  in.design = window->size();
  in.height_anchor = rect_in(window, height_anchor);
  in.width_anchor = rect_in(window, width_anchor);
  in.margin_height = margin_height;
  in.margin_width = margin_width;
  in.height_from_top = height_from_top;
  const ScalingResult r = compute_window_scaling(in);
  if (r.scaled) scale_widget_tree(window, r.M, r.D);
  window->setMinimumSize(r.minimum);
  window->setMaximumSize(r.maximum);
  window->resize(r.size);
  return r;
}

namespace {
QSize& screen_override() {
  static QSize size;
  return size;
}
}  // namespace

void set_screen_size_override(QSize size) { screen_override() = size; }

QSize primary_screen_size() {
  if (!screen_override().isEmpty()) return screen_override();
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().size() : QSize(1920, 1080);
}

}  // namespace velmo
