#pragma once
#include <QString>
#include <QStringList>

#include <vector>

namespace velmo {

// What an inverter's rating (its power code, the program version word div
// 100) gives the editor: the motor powers with their default, lowest and
// highest rated currents, the rating text and the voltage class.
struct PowerLists {
  bool known = false;     // false: the code is not in the rating table
  QString rating;         // Edit82
  int voltage_class = 0;  // 0: 220 V class; 1, 2: 380 V classes
  QStringList kw, current, current_min, current_max;  // ComboBox23, 24, 45, 46; same length
};
PowerLists bpq_power_lists(int power_code);
// Every power code the rating table knows.
std::vector<int> bpq_power_codes();

// How a control of the editor looks for a model type.
enum class ControlState { Enabled, Greyed, Hidden };
// Controls that are alternatives of one parameter are hidden outside their
// model types; a control whose parameter the type lacks is greyed.
ControlState bpq_control_state(const char* control, bool parameter_in_type, int model_type);

// A text of a control (hint or caption) that follows the model type or the
// voltage class.
struct TypedText {
  const char* control;
  bool caption;  // true: the label's text, false: the hint
  QString text;
};
std::vector<TypedText> bpq_type_texts(int model_type);
std::vector<TypedText> bpq_class_hints(int voltage_class, int model_type);

}  // namespace velmo
