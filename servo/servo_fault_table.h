#pragma once
#include "common/velmo_window.h"

class QTableWidget;

namespace velmo {

// The servo drive's fault and warning codes with their names, causes and
// remedies: a fixed reference that never talks to a drive.
class ServoFaultTableWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit ServoFaultTableWindow(AppContext& ctx, QWidget* parent = nullptr);

  // The size the window and its grids are designed at (before scaling).
  static constexpr QSize kDesignSize{1143, 692};

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTableWidget* faults_ = nullptr;    // StringGrid1
  QTableWidget* warnings_ = nullptr;  // StringGrid2
};

}  // namespace velmo
