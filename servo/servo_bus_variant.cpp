#include "servo/servo_bus_variant.h"

#include <QComboBox>
#include <QPalette>

#include "common/param_editor_engine.h"
#include "drivelink/drive_link_state.h"
#include "servo/servo_param_table.h"

namespace velmo {

namespace {

// Controls fixed for bus-type drives, with the item they are set to.
struct FixedControl {
  const char* control;
  const char* item;  // nullptr: left as it is
};
constexpr FixedControl kFixed[] = {
    {"ComboBox7", nullptr},   {"ComboBox8", nullptr},  {"ComboBox9", nullptr},
    {"ComboBox12", nullptr},  {"ComboBox10", "3、通讯"}, {"ComboBox46", "3、通讯"},
    {"Edit7", nullptr},       {"ComboBox17", nullptr}, {"ComboBox18", nullptr},
    {"ComboBox52", nullptr},  {"ComboBox53", nullptr}, {"ComboBox20", "2、通讯总线"},
    {"ComboBox55", "2、通讯总线"}, {"Edit9", nullptr},    {"Edit10", nullptr},
    {"Edit82", nullptr},      {"Edit83", nullptr},     {"ComboBox27", "2、通讯总线"},
    {"ComboBox28", "3、通讯总线"}, {"ComboBox29", "3、通讯总线"}, {"Edit50", nullptr},
    {"Edit52", nullptr},      {"Edit53", nullptr},     {"ComboBox30", "4、通讯总线"},
    {"ComboBox33", "2、通讯总线"}, {"ComboBox34", "3、通讯总线"}, {"ComboBox35", "3、通讯总线"},
    {"Edit55", nullptr},      {"Edit57", nullptr},     {"Edit58", nullptr},
    {"ComboBox36", "4、通讯总线"},
};

void set_fixed(QWidget* control, bool fixed) {
  if (!control) return;
  control->setEnabled(!fixed);
  if (fixed) {
    QPalette shadow = control->palette();
    const QColor grey = shadow.color(QPalette::Dark);
    shadow.setColor(QPalette::Disabled, QPalette::Base, grey);
    shadow.setColor(QPalette::Disabled, QPalette::Button, grey);
    // The drive's value stays readable on the grey.
    shadow.setColor(QPalette::Disabled, QPalette::Text, shadow.color(QPalette::Active, QPalette::WindowText));
    shadow.setColor(QPalette::Disabled, QPalette::ButtonText, shadow.color(QPalette::Active, QPalette::WindowText));
    control->setPalette(shadow);
  } else {
    control->setPalette(QPalette());
  }
}

}  // namespace

void apply_servo_bus_variant(ParamEditorEngine& engine, const DriveLinkState& st, int node, bool bus_type) {
  const ParamTable& table = engine.table();
  const int32_t run_mode = static_cast<int32_t>(st.servo_run_mode[static_cast<size_t>(node)]);
  const int32_t gain_switch = static_cast<int32_t>(st.servo_gain_switch[static_cast<size_t>(node)]);

  if (const ParamRow* mode = table.row_by_control(QStringLiteral("ComboBox1"))) {
    engine.set_items(*mode, servo_run_mode_items(bus_type));
    engine.select_value(*mode, run_mode);
  }
  const struct {
    const char* control;
    int layout;
  } switches[] = {{"ComboBox23", kServoLayout1}, {"ComboBox58", kServoLayout2}};
  for (const auto& s : switches) {
    if (const ParamRow* row = table.row_by_control(QString::fromLatin1(s.control))) {
      engine.set_items(*row, servo_gain_switch_items(s.layout, bus_type));
      engine.select_value(*row, gain_switch);
    }
  }

  for (const auto& f : kFixed) {
    const ParamRow* row = table.row_by_control(QString::fromLatin1(f.control));
    if (!row) continue;
    QWidget* control = engine.control_of(*row);
    set_fixed(control, bus_type);
    auto* combo = qobject_cast<QComboBox*>(control);
    if (!combo) continue;
    const QSignalBlocker quiet(combo);
    if (bus_type && f.item) combo->setCurrentIndex(combo->findText(QString::fromUtf8(f.item)));
  }
  if (!bus_type) {
    // Back on an ordinary drive the lock sources start from "1、不锁轴".
    for (const char* name : {"ComboBox30", "ComboBox36"})
      if (auto* combo = qobject_cast<QComboBox*>(engine.control_of(*table.row_by_control(QString::fromLatin1(name))))) {
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(0);
      }
  }
}

}  // namespace velmo
