#pragma once
#include <QString>

class QMessageBox;
class QWidget;

namespace velmo {

// The program's information box, sized to its text: a line that fits the
// screen stays one line, and a longer one is broken into lines of even
// length, never leaving a character or two on a line of their own (the
// standard box wraps at a fixed width, which splits "节点" or "退出").
void show_message_box(QWidget* parent, const QString& title, const QString& text);

// Gives the box's text label the width that lays its text out as above;
// returns that width. Called before the box is shown.
int fit_message_box(QMessageBox& box);

}  // namespace velmo
