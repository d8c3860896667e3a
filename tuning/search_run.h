#pragma once
#include "drivelink/drive_link.h"
#include "tuning/gain_search.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/tuning_report.h"

namespace velmo {

// One automatic search or the self-learning for as long as it runs. The
// outermost one clears what an earlier run failed on (the window's sequence
// keeps the inputs off and holds the stop the nested ones share).
class GainTuningWindow::SearchRun {
 public:
  explicit SearchRun(GainTuningWindow& w) : w_(w), outermost_(!w.search_running_) {
    if (!outermost_) return;
    DriveLinkState& st = w_.ctx_.link.st;
    st.comm_error = 0;
    st.tune_error = 0;
    w_.tuning_->tune_stop = 0;
    w_.search_running_ = true;
  }
  ~SearchRun() {
    if (!outermost_) return;
    w_.search_running_ = false;
    w_.tuning_->tune_stop = 0;
  }
  SearchRun(const SearchRun&) = delete;
  SearchRun& operator=(const SearchRun&) = delete;

 private:
  GainTuningWindow& w_;
  bool outermost_;
};

// The searches' view of the window: each operation is the button or step
// the window already has. Once the search is halted (a stop or a failure)
// none of them writes or moves any more: a search's closing steps (the last
// gains, the centring) are for a search that ran to its end.
class GainTuningWindow::SearchOpsOnWindow : public tuning::SearchOps {
 public:
  explicit SearchOpsOnWindow(GainTuningWindow& w) : w_(w) {}
  bool halted() const override { return w_.search_halted(); }
  void gain_set() override { unless_halted(&GainTuningWindow::gain_set); }
  void write_gain(tuning::GainReg reg, int32_t value) override;
  void detect_resonance() override { unless_halted(&GainTuningWindow::Button13Click); }
  void detect_end_vibration() override { unless_halted(&GainTuningWindow::Button17Click); }
  void set_notch() override { unless_halted(&GainTuningWindow::Button8Click); }
  void reset_notches() override { unless_halted(&GainTuningWindow::Button9Click); }
  void set_suppressor() override { unless_halted(&GainTuningWindow::Button16Click); }
  void reset_suppressors() override { unless_halted(&GainTuningWindow::Button12Click); }
  void response_test() override { unless_halted(&GainTuningWindow::Button18Click); }
  void test_settings() override { unless_halted(&GainTuningWindow::Button10Click); }
  void run_half() override { unless_halted(&GainTuningWindow::run_half); }
  void delay(int ms) override { w_.ctx_.link.delay(ms); }
  void set_jitter_threshold(int threshold) override { w_.hidden.jitter_threshold = threshold; }
  void set_resonance_threshold(int db) override { w_.hidden.resonance_threshold_db = db; }
  void log(const QString& line) override { w_.report_->done_line(line); }
  void log_failure(const QString& line) override { w_.report_->failed(line); }

 private:
  void unless_halted(void (GainTuningWindow::*op)()) {
    if (!halted()) (w_.*op)();
  }
  GainTuningWindow& w_;
};

}  // namespace velmo
