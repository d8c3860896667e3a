#pragma once
// The same reach written with angle brackets: the source root is on every
// target's include path, so this compiles and must be refused as well.
#include <servo/servo_control_window.h>
// Not a project folder: left alone.
#include <QtWidgets/QWidget>
