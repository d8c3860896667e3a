#pragma once
// What a user does to an editor's parameter controls: type a value and press
// Enter, or pick a list item.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace velmo::testing {

inline void type_and_enter(QLineEdit* edit, const QString& keys) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, keys);
  QTest::keyClick(edit, Qt::Key_Return);
}

inline void pick_item(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

}  // namespace velmo::testing
