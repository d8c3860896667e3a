#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Starts one of the servo drive's self-learning functions.
class SelfLearningWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit SelfLearningWindow(AppContext& ctx, QWidget* parent = nullptr);
};

}  // namespace velmo
