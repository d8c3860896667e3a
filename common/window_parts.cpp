#include "common/window_parts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include "common/log_view.h"
#include "common/status_panel.h"
#include "drivelink/drive_link.h"

namespace velmo {

template <typename T>
static T* named(T* w, const char* name, const QRect& geometry) {
  w->setObjectName(QString::fromLatin1(name));
  w->setGeometry(geometry);
  return w;
}

QLabel* make_panel(QWidget* parent, const QRect& geometry) {
  return named(new StatusPanel(parent), "Panel1", geometry);
}

QPlainTextEdit* make_memo(QWidget* parent, const char* name, const QRect& geometry) {
  auto* memo = named(new LogView(parent), name, geometry);
  memo->setReadOnly(true);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return memo;
}

QComboBox* make_combo(QWidget* parent, const char* name, const QRect& geometry) {
  return named(new QComboBox(parent), name, geometry);
}

QLineEdit* make_edit(QWidget* parent, const char* name, const QRect& geometry, const QString& text) {
  return named(new QLineEdit(text, parent), name, geometry);
}

QPushButton* make_button(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  return named(new QPushButton(text, parent), name, geometry);
}

QLabel* make_label(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  return named(new QLabel(text, parent), name, geometry);
}

void route_traffic(DriveLink& link, WindowCode code, QPlainTextEdit* memo) {
  QPointer<QPlainTextEdit> target(memo);
  link.set_traffic_log(static_cast<uint8_t>(code), [target](const QString& line) {
    if (target) append_line(target, line);
  });
}

void set_usable(QWidget* w, bool usable) {
  w->setEnabled(usable);
  QPalette p = w->palette();
  const QColor c = usable ? p.color(QPalette::Active, QPalette::Button) : p.color(QPalette::Active, QPalette::Dark);
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) p.setColor(group, QPalette::Base, c);
  w->setPalette(p);
}

int node_of(const QComboBox* combo) {
  bool ok = false;
  const int n = combo ? combo->currentText().trimmed().toInt(&ok) : 0;
  return ok ? n : 0;
}

}  // namespace velmo
