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

void PendingCommands::forget_node(uint8_t node) {
  safety_.erase(std::remove_if(safety_.begin(), safety_.end(), [node](const PendingCommand& c) { return c.node == node; }),
                safety_.end());
  drop_other_for(node);
}

bool PendingCommands::waits_for(uint8_t node, std::optional<CommandKind> kind) const {
  auto matches = [&](const PendingCommand& c) { return c.node == node && (!kind || c.kind == *kind); };
  return std::any_of(safety_.begin(), safety_.end(), matches) || (other_ && matches(*other_));
}

void PendingCommands::renumber(uint8_t from, uint8_t to) {
  for (PendingCommand& c : safety_)
    if (c.node == from) c.node = to;
  if (other_ && other_->node == from) other_->node = to;
}

}  // namespace velmo
