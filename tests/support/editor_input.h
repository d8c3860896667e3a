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

// Clicks into a field and out again (Tab) without typing, its tab sheet in view.
inline bool click_in_and_out(QLineEdit* edit) {
  QWidget* window = edit->window();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return false;
  for (QTabWidget* tabs : window->findChildren<QTabWidget*>())
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->widget(i)->isAncestorOf(edit)) tabs->setCurrentIndex(i);
  edit->setFocus(Qt::MouseFocusReason);
  if (!wait_for([&] { return edit->hasFocus(); })) return false;
  QTest::keyClick(edit, Qt::Key_Tab);
  return !edit->hasFocus();
}

// Types a value into a field, its tab sheet in view, and leaves it with Tab
// (no Enter): the editor takes the entry without sending it.
inline bool type_and_leave(QLineEdit* edit, const QString& keys) {
  QWidget* window = edit->window();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return false;
  for (QTabWidget* tabs : window->findChildren<QTabWidget*>())
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->widget(i)->isAncestorOf(edit)) tabs->setCurrentIndex(i);
  edit->setFocus(Qt::MouseFocusReason);
  if (!wait_for([&] { return edit->hasFocus(); })) return false;
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, keys);
  QTest::keyClick(edit, Qt::Key_Tab);
  return !edit->hasFocus();
}

inline void pick_item(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

}  // namespace velmo::testing
