#pragma once
// What the user meets on a page of a window: whether a key typed into one
// of its fields and a click on one of its lists get through, and how dark
// the page is drawn.
#include <QAbstractItemView>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <algorithm>

namespace velmo::testing {

// True when a typed digit changes the field; the field gets its text back.
inline bool takes_keys(QLineEdit* field) {
  const QString before = field->text();
  field->selectAll();
  QTest::keyClick(field, before == QLatin1String("7") ? Qt::Key_8 : Qt::Key_7);
  const bool taken = field->text() != before;
  field->setText(before);
  return taken;
}

// True when a click on the list opens it; it is closed again.
inline bool opens_on_click(QComboBox* list) {
  QTest::mouseClick(list, Qt::LeftButton);
  const bool opened = list->view()->isVisible();
  list->hidePopup();
  return opened;
}

// The darkest grey of the page as drawn: its text is black while it is open.
inline int darkest_grey(QWidget* page) {
  const QImage image = page->grab().toImage();
  int darkest = 255;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
  return darkest;
}

}  // namespace velmo::testing
