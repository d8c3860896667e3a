#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Jogs a servo drive and sets its home point and limits.
class HomeLimitsWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit HomeLimitsWindow(AppContext& ctx, QWidget* parent = nullptr);
};

}  // namespace velmo
