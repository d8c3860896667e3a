#pragma once
// What a user does to an editor's parameter controls: type a value and press
// Enter, or pick a list item.
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "support/wait.h"

namespace velmo::testing {

inline void type_and_enter(QLineEdit* edit, const QString& keys) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, keys);
  QTest::keyClick(edit, Qt::Key_Return);
}

// Puts the focus into a field, its tab sheet in view, types `keys` over
// its text unless there are none, and leaves it with Tab (no Enter): the
// editor takes an entry without sending it. False when the focus would not go.
inline bool leave_field(QLineEdit* edit, const QString* keys) {
  QWidget* window = edit->window();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return false;
  for (QTabWidget* tabs : window->findChildren<QTabWidget*>())
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->widget(i)->isAncestorOf(edit)) tabs->setCurrentIndex(i);
  edit->setFocus(Qt::MouseFocusReason);
  if (!wait_for([&] { return edit->hasFocus(); })) return false;
  if (keys) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, *keys);
  }
  QTest::keyClick(edit, Qt::Key_Tab);
  return !edit->hasFocus();
}

// Clicks into a field and out again (Tab) without typing.
inline bool click_in_and_out(QLineEdit* edit) { return leave_field(edit, nullptr); }
// Types a value into a field and leaves it with Tab.
inline bool type_and_leave(QLineEdit* edit, const QString& keys) { return leave_field(edit, &keys); }

inline void pick_item(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

}  // namespace velmo::testing
