#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Limit values and start gains of the response test and the gain searches.
class TestParameterWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit TestParameterWindow(AppContext& ctx, QWidget* parent = nullptr);
 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace velmo
