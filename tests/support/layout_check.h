#pragma once
// Finds what a user would see as a broken layout in a shown window: a
// control cut off by its window or group, two controls on top of each other,
// a caption wider than its label or button, a value wider than its field.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSizeGrip>
#include <QStackedWidget>
#include <QStringList>
#include <QTabWidget>
#include <QWidget>

#include <vector>

namespace velmo::layout_check {

inline QString name_of(const QWidget* w) {
  QString name = w->objectName();
  if (name.isEmpty()) {
    if (auto* l = qobject_cast<const QLabel*>(w)) name = QStringLiteral("\"%1\"").arg(l->text());
    else if (auto* b = qobject_cast<const QAbstractButton*>(w)) name = QStringLiteral("\"%1\"").arg(b->text());
    else name = QString::fromLatin1(w->metaObject()->className());
  }
  return name;
}

inline QString path_of(const QWidget* w) {
  QStringList parts;
  for (const QWidget* p = w; p; p = p->isWindow() ? nullptr : p->parentWidget()) parts.prepend(name_of(p));
  return parts.join(QLatin1Char('/'));
}

inline QString rect_text(const QRect& r) {
  return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Widgets whose children are controls laid out by the window (not the
// inner parts of a composite control such as a combo box or a plot).
inline bool holds_controls(const QWidget* w) {
  const QString cls = QString::fromLatin1(w->metaObject()->className());
  return w->isWindow() || cls == QLatin1String("QWidget") || cls == QLatin1String("QGroupBox") ||
         cls == QLatin1String("QFrame") || cls == QLatin1String("velmo::tuning::TuningChart");
}

// The controls of a container: its own child widgets, or for a main window
// what sits in its central widget.
inline std::vector<QWidget*> controls_of(QWidget* container) {
  std::vector<QWidget*> out;
  for (QObject* o : container->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    // A size grip sits in the window's corner over whatever is there.
    if (!w || w->isWindow() || !w->isVisible() || qobject_cast<QSizeGrip*>(w)) continue;
    out.push_back(w);
  }
  return out;
}

// Where children may lie: below a group box's title, inside the rest.
inline QRect free_area(const QWidget* container) {
  QRect area = container->rect();
  if (auto* box = qobject_cast<const QGroupBox*>(container); box && !box->title().isEmpty())
    area.setTop(QFontMetrics(box->font()).height() - 2);
  return area;
}

inline void check_text(const QWidget* w, QStringList& faults) {
  auto too_wide = [&](int needed, int have) {
    faults << QStringLiteral("%1: text needs %2 px, has %3").arg(path_of(w)).arg(needed).arg(have);
  };
  const QFontMetrics fm(w->font());
  if (auto* label = qobject_cast<const QLabel*>(w)) {
    if (label->text().isEmpty() || label->textFormat() == Qt::RichText) return;
    const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
    if (label->wordWrap()) {
      if (label->heightForWidth(label->width()) > label->height()) too_wide(label->heightForWidth(label->width()), label->height());
      return;
    }
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    for (const QString& line : lines)
      if (fm.horizontalAdvance(line) > room.width()) too_wide(fm.horizontalAdvance(line), room.width());
    if (int(lines.size()) * fm.height() > room.height() + 2)
      faults << QStringLiteral("%1: %2 lines do not fit %3 px").arg(path_of(w)).arg(lines.size()).arg(room.height());
    return;
  }
  if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) {
    const auto* b = static_cast<const QAbstractButton*>(w);
    if (!b->text().isEmpty() && b->sizeHint().width() > b->width()) too_wide(b->sizeHint().width(), b->width());
    return;
  }
  if (auto* b = qobject_cast<const QPushButton*>(w)) {
    QString text = b->text();
    text.remove(QLatin1Char('&'));
    if (text.isEmpty()) return;
    const int needed = fm.horizontalAdvance(text) + 8;
    if (needed > b->width()) too_wide(needed, b->width());
    if (fm.height() > b->height()) faults << QStringLiteral("%1: text taller than the button").arg(path_of(w));
    return;
  }
  if (auto* edit = qobject_cast<const QLineEdit*>(w); edit && !edit->text().isEmpty()) {
    // The frame and the text margins take a few pixels on each side.
    const int needed = fm.horizontalAdvance(edit->displayText()) + 8;
    if (needed > edit->width()) too_wide(needed, edit->width());
    return;
  }
  if (auto* box = qobject_cast<const QGroupBox*>(w); box && !box->title().isEmpty()) {
    const int needed = fm.horizontalAdvance(box->title()) + 16;
    if (needed > box->width()) too_wide(needed, box->width());
  }
}

inline void check_container(QWidget* container, QStringList& faults) {
  const std::vector<QWidget*> controls = controls_of(container);
  const QRect area = free_area(container);
  // A scroll area's content may be larger than what it shows.
  const bool scrolled = qobject_cast<QScrollArea*>(container->parentWidget() ? container->parentWidget()->parentWidget() : nullptr);
  for (size_t i = 0; i < controls.size(); ++i) {
    QWidget* c = controls[i];
    if (!scrolled && !area.contains(c->geometry()))
      faults << QStringLiteral("%1 %2 is not inside %3 %4")
                    .arg(path_of(c), rect_text(c->geometry()), path_of(container), rect_text(area));
    for (size_t k = i + 1; k < controls.size(); ++k)
      if (c->geometry().intersects(controls[k]->geometry()))
        faults << QStringLiteral("%1 %2 overlaps %3 %4")
                      .arg(path_of(c), rect_text(c->geometry()), name_of(controls[k]), rect_text(controls[k]->geometry()));
    check_text(c, faults);
    if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
      // Every page, each in turn the current one.
      const int current = tabs->currentIndex();
      for (int p = 0; p < tabs->count(); ++p) {
        tabs->setCurrentIndex(p);
        check_container(tabs->widget(p), faults);
      }
      tabs->setCurrentIndex(current);
    } else if (auto* stack = qobject_cast<QStackedWidget*>(c)) {
      if (stack->currentWidget()) check_container(stack->currentWidget(), faults);
    } else if (auto* scroll = qobject_cast<QScrollArea*>(c)) {
      if (scroll->widget()) check_container(scroll->widget(), faults);
    } else if (holds_controls(c)) {
      check_container(c, faults);
    }
  }
}

// Every fault of a shown window, as lines naming the controls.
inline QStringList faults_of(QWidget* window) {
  QStringList faults;
  if (auto* main = qobject_cast<QMainWindow*>(window)) {
    if (main->centralWidget()) {
      if (!main->rect().contains(main->centralWidget()->geometry()))
        faults << QStringLiteral("%1: central area %2 is cut off").arg(path_of(main), rect_text(main->centralWidget()->geometry()));
      check_container(main->centralWidget(), faults);
    }
    return faults;
  }
  check_container(window, faults);
  return faults;
}

}  // namespace velmo::layout_check
