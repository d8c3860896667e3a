#pragma once
// A shared header that reaches into a family: the layering check must refuse it.
#include "servo/servo_control_window.h"
