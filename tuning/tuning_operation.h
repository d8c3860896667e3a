#pragma once
#include <QString>

#include <map>
#include <memory>

#include "tuning/drive_snapshot.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/operation_outcome.h"

namespace velmo {

// One operation the engineer started (the self-learning, a search, a
// detection sequence, the inertia estimation), inside the window's sequence.
// The outermost one reads at its start what it may change on the drive and
// notes the window's own settings it changes for its moves; at its end,
// after a stop or a failure, it puts both back (after a user's SERVO_OFF has
// gone out), shows a setting it could not put back as unconfirmed, and says
// how it ended, what was found and what the drive holds. Nested ones (a
// detection inside a search) only pass on.
class GainTuningWindow::Operation {
 public:
  Operation(GainTuningWindow& w, tuning::OperationKind kind);
  ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // False: the start values could not be read, and nothing was done.
  bool ok() const { return ok_; }
  // The operation did not do its work, whatever the flags say.
  void failed() { failed_ = true; }
  // How it ends, judged now: a stop, a failure or neither. The outermost
  // keeps the first judgement, so a stop pressed after the work was done
  // takes nothing back.
  tuning::Outcome decide();

  void wrote(uint16_t reg, int32_t value, bool accepted);
  // What the operation found, filled in on the outermost one; found() is the
  // outermost's from a nested one too.
  tuning::Findings findings;
  const tuning::Findings& found() const;
  QString end_line(tuning::Outcome outcome) const { return tuning::end_line(row_, outcome, found()); }

 private:
  tuning::Outcome judge() const;
  void take_back();
  void show_put_back(const tuning::DriveSnapshot::PutBack& p, bool accepted);
  void put_back_own_settings();

  GainTuningWindow& w_;
  const tuning::OperationRow& row_;
  bool outermost_;
  bool ok_ = true;
  bool failed_ = false;
  std::optional<tuning::Outcome> decided_;
  std::unique_ptr<tuning::DriveSnapshot> drive_;
  // What the window showed and used for the settings, to show again when
  // they are put back.
  std::map<QString, QString> shown_;
  // The window's own settings as the engineer left them: the fields by name,
  // the hidden ones in a copy.
  std::map<QString, QString> own_fields_;
  GainTuningWindow::Hidden own_hidden_;
  uint32_t rigidity_level_ = 0, inertia_ratio_ = 0;
  int32_t kp_ = 0, kv_ = 0, ti_ = 0;
  uint8_t notch_result_ = 0;
};

}  // namespace velmo
