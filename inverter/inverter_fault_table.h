#pragma once
#include "common/velmo_window.h"

class QTableWidget;

namespace velmo {

// Reference table of the inverter fault codes (Er-n as the control window
// shows a fault), read-only: it talks to no drive.
class InverterFaultTableWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit InverterFaultTableWindow(AppContext& ctx, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTableWidget* grid_ = nullptr;
};

}  // namespace velmo
