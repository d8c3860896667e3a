#pragma once
#include "common/velmo_window.h"

class QLineEdit;

namespace velmo {

// Limit values and start gains of the response test and the gain searches.
// Nothing shows it: the response test reads its fields' values as settings.
class TestParameterWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit TestParameterWindow(AppContext& ctx, QWidget* parent = nullptr);

  // Settings held by fields that are never shown (their form values).
  struct Hidden {
    int torque_search_limit = 400;  // Edit10
    int screw_kp = 40, screw_kvi = 35;    // Edit3, Edit4
    int belt_kp = 30, belt_kvi = 25;      // Edit5, Edit6
    int rigid_kp = 50, rigid_kvi = 45;    // Edit7, Edit8
    int edit1 = 30, edit31 = 30, edit26 = 90;
    int reach_band = 5;             // Edit25
  } hidden;

  int overshoot_limit() const;  // Edit9

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
};

}  // namespace velmo
