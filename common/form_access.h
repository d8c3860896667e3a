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
// While it says that the port is lost, it keeps saying so (see
// hold_port_lost_line).
inline constexpr const char* kPortLostHeld = "velmo_port_lost_held";
inline void set_panel_text(QLabel* panel, const QString& text) {
  if (!panel->property(kPortLostHeld).toBool()) panel->setText(text);
}
inline void set_panel(const QWidget* form, const QString& text) { set_panel_text(control<QLabel>(form, "Panel1"), text); }

// The port went away: Panel1 says so and nothing replaces that line until
// release_port_lost_line (the port opened again). Every exchange on the lost
// port fails, and its failure line would hide the reason.
inline void hold_port_lost_line(const QWidget* form, const QString& text) {
  QLabel* panel = control<QLabel>(form, "Panel1");
  panel->setText(text);
  panel->setProperty(kPortLostHeld, true);
}
inline void release_port_lost_line(const QWidget* form) {
  if (QLabel* panel = form ? form->findChild<QLabel*>(QStringLiteral("Panel1")) : nullptr)
    panel->setProperty(kPortLostHeld, false);
}

// Appends one line to a memo (a log) of a window.
inline void add_line(const QWidget* form, const char* memo, const QString& line) {
  append_line(control<QPlainTextEdit>(form, memo), line);
}

}  // namespace velmo
