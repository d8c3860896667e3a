#include "main/dismiss_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

namespace velmo {

void dismiss_open_dialogs() {
  while (QWidget* popup = QApplication::activePopupWidget()) {
    popup->close();
    if (QApplication::activePopupWidget() == popup) break;
  }
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
    // One that refuses to go would hold this loop forever.
    if (QApplication::activeModalWidget() == modal) break;
  }
}

}  // namespace velmo
