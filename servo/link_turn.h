#pragma once
#include "drivelink/drive_link_state.h"

namespace velmo::servo {

// A window's turn on the line for one operation: granted only while no other
// operation holds the busy flags or waits for a reply, and held (write_busy)
// until it goes out of scope, so timers and clicks of other windows that
// arrive inside our waits do not start an exchange of their own.
class LinkTurn {
 public:
  LinkTurn(DriveLinkState& st, bool& window_busy)
      : st_(st), window_busy_(window_busy),
        held_(!window_busy && st.write_busy == 0 && st.read_busy == 0 && st.sending == 0) {
    if (held_) {
      st_.write_busy = 1;
      window_busy_ = true;
    }
  }
  ~LinkTurn() {
    if (held_) {
      st_.write_busy = 0;
      window_busy_ = false;
    }
  }
  LinkTurn(const LinkTurn&) = delete;
  LinkTurn& operator=(const LinkTurn&) = delete;

  bool held() const { return held_; }

 private:
  DriveLinkState& st_;
  bool& window_busy_;
  bool held_;
};

}  // namespace velmo::servo
