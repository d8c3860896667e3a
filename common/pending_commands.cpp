#include "common/pending_commands.h"

#include <algorithm>

namespace velmo {

void PendingCommands::store(const PendingCommand& cmd) {
  if (cmd.kind == CommandKind::Safety) {
    other_.reset();
    if (std::find(safety_.begin(), safety_.end(), cmd) == safety_.end()) safety_.push_back(cmd);
    return;
  }
  other_ = cmd;
}

std::optional<PendingCommand> PendingCommands::next() const {
  if (!safety_.empty()) return safety_.front();
  return other_;
}

PendingCommand PendingCommands::take() {
  if (!safety_.empty()) {
    PendingCommand cmd = safety_.front();
    safety_.pop_front();
    return cmd;
  }
  PendingCommand cmd = other_.value_or(PendingCommand{});
  other_.reset();
  return cmd;
}

uint8_t PendingCommands::code() const {
  const auto cmd = next();
  return cmd ? cmd->code : 0;
}

void PendingCommands::drop_other() { other_.reset(); }

void PendingCommands::drop_other_for(uint8_t node) {
  if (other_ && other_->node == node) other_.reset();
}

}  // namespace velmo
