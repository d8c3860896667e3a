#include "common/status_lamp.h"

#include <QPainter>
#include <QVariant>

namespace velmo {

StatusLamp::StatusLamp(const char* object_name, QWidget* parent) : QWidget(parent) {
  setObjectName(QString::fromLatin1(object_name));
  setMinimumSize(16, 16);
}

void StatusLamp::set_lit(bool on) {
  if (on == lit_) return;
  lit_ = on;
  update();
}

void StatusLamp::set_stale(bool old_state, const QString& why) {
  setToolTip(!old_state ? QString() : why.isEmpty() ? QStringLiteral("状态读取失败，显示的是上次读取的状态") : why);
  if (old_state == stale_) return;
  stale_ = old_state;
  update();
}

QColor StatusLamp::colour() const { return lit_ ? QColor(Qt::red) : palette().color(QPalette::Button); }

void StatusLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPen rim(palette().color(QPalette::Dark));
  if (stale_) rim.setStyle(Qt::DashLine);
  painter.setPen(rim);
  painter.setBrush(colour());
  const int side = qMin(width(), height()) - 2;
  const QRect r((width() - side) / 2, (height() - side) / 2, side, side);
  painter.drawEllipse(r);
  if (stale_) {
    painter.setBrush(QBrush(palette().color(QPalette::Text), Qt::BDiagPattern));
    painter.drawEllipse(r);
  }
}

namespace {
constexpr char kStaleProperty[] = "velmo_stale";
constexpr char kBaseProperty[] = "velmo_current_base";
const QColor kStaleBase(255, 236, 170);
}  // namespace

void mark_current(QWidget* field, bool current, const QString& why) {
  if (!field) return;
  field->setToolTip(current ? QString() : why.isEmpty() ? QStringLiteral("状态读取失败，显示的是上次读取的值") : why);
  if (is_marked_stale(field) == !current) return;
  field->setProperty(kStaleProperty, !current);
  QFont font = field->font();
  font.setItalic(!current);
  field->setFont(font);
  // A disabled field is grey for "not used" and stays so.
  if (!field->isEnabled()) return;
  QPalette p = field->palette();
  if (!current) {
    field->setProperty(kBaseProperty, p.color(QPalette::Active, QPalette::Base));
    for (auto group : {QPalette::Active, QPalette::Inactive}) p.setColor(group, QPalette::Base, kStaleBase);
  } else if (const QVariant base = field->property(kBaseProperty); base.isValid()) {
    for (auto group : {QPalette::Active, QPalette::Inactive}) p.setColor(group, QPalette::Base, base.value<QColor>());
  }
  field->setPalette(p);
}

bool is_marked_stale(const QWidget* field) { return field && field->property(kStaleProperty).toBool(); }

}  // namespace velmo
