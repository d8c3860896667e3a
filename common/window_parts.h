#pragma once
#include <QRect>
#include <QString>

#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace velmo {

class DriveLink;
enum class WindowCode : uint8_t;

// Small builders for the controls every window has, named by objectName and
// placed at their design position (the window's scaling moves them later).
QLabel* make_panel(QWidget* parent, const QRect& geometry);                       // Panel1
QPlainTextEdit* make_memo(QWidget* parent, const char* name, const QRect& geometry);
QComboBox* make_combo(QWidget* parent, const char* name, const QRect& geometry);
QLineEdit* make_edit(QWidget* parent, const char* name, const QRect& geometry, const QString& text = {});
QPushButton* make_button(QWidget* parent, const char* name, const QString& text, const QRect& geometry);
QLabel* make_label(QWidget* parent, const char* name, const QString& text, const QRect& geometry);

// Sends the traffic log of window code `code` to `memo`.
void route_traffic(DriveLink& link, WindowCode code, QPlainTextEdit* memo);

// Enables or disables a field; enabled fields show the button-face colour,
// disabled ones the shadow.
void set_usable(QWidget* w, bool usable);

// The station address shown in a node combo box (0 when it shows none).
int node_of(const QComboBox* combo);

}  // namespace velmo
