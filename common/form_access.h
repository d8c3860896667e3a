#pragma once
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>

#include <functional>
#include <stdexcept>

#include "common/log_view.h"

namespace velmo {

// Finds a window by its objectName ("TForm1" is the main window).
using FormLookup = std::function<QWidget*(const char* name)>;

// Windows and their controls are found by their objectName ("TForm2",
// "ComboBox45"), the names other windows and the tests refer to them by.
template <typename T>
T* control(const QWidget* form, const char* name) {
  T* found = form ? form->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  if (!found)
    throw std::logic_error(std::string("missing control ") + name + " in " +
                           (form ? form->objectName().toStdString() : std::string("(no window)")));
  return found;
}

// Panel1 of a window: its status caption, showing the last message only.
inline void set_panel(const QWidget* form, const QString& text) { control<QLabel>(form, "Panel1")->setText(text); }

// Appends one line to a memo (a log) of a window.
inline void add_line(const QWidget* form, const char* memo, const QString& line) {
  append_line(control<QPlainTextEdit>(form, memo), line);
}

}  // namespace velmo
