#pragma once
#include "common/velmo_window.h"

namespace velmo {

// The tuning help: the self-learning steps.
class TuningHelpWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit TuningHelpWindow(AppContext& ctx, QWidget* parent = nullptr);
 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
};

}  // namespace velmo
