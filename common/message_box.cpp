#include "common/message_box.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace velmo {

int fit_message_box(QMessageBox& box) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return 0;
  const QFontMetrics metrics(label->font());
  int widest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
  const int screen_width = screen ? screen->availableGeometry().width() : 1024;
  // Room for the icon, the margins and the frame beside the text.
  const int cap = std::max(200, std::min(screen_width * 3 / 5, 900));
  int width = widest;
  if (widest > cap) {
    const int lines = (widest + cap - 1) / cap;
    // Even lines, with a character's slack so the last one is not a stub.
    width = std::min(cap, (widest + lines - 1) / lines + 2 * metrics.horizontalAdvance(QChar(0x4E2D)));
  }
  // A little slack: the label's own layout rounds differently.
  width += metrics.averageCharWidth();
  label->setMinimumWidth(width);
  return width;
}

void show_message_box(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
  fit_message_box(box);
  box.exec();
}

}  // namespace velmo
