#pragma once
#include <cstdint>
#include <deque>
#include <optional>

namespace velmo {

// How a command that met a busy link waits for its replay.
enum class CommandKind : uint8_t {
  Run,     // forward / reverse (a family may refuse them while the drive runs)
  Safety,  // stop / fault reset: never dropped, never displaced by another kind
  Other,   // settings, mode entry: the newest one wins
};

// A deferred command with the node it was given for: the replay goes there,
// whatever the node list shows by then.
struct PendingCommand {
  uint8_t code = 0;
  uint8_t node = 0;
  CommandKind kind = CommandKind::Other;
  bool operator==(const PendingCommand&) const = default;
};

// The deferred commands of a bus control window. Stops and fault resets
// queue in click order (a repeat of one already waiting is not queued twice)
// and replay first; of the other commands only the newest waits. A stop or
// reset stored after a run or settings command cancels that command, so a
// drive is never started again behind the user's stop.
class PendingCommands {
 public:
  void store(const PendingCommand& cmd);
  bool empty() const { return safety_.empty() && !other_; }
  bool has_safety() const { return !safety_.empty(); }
  // The command the replay takes next; nullopt when nothing waits.
  std::optional<PendingCommand> next() const;
  // Removes and returns the next command (empty() must be false).
  PendingCommand take();
  // The code of the next command, 0 when nothing waits.
  uint8_t code() const;
  // Forgets the waiting run or settings command (stops and resets stay).
  void drop_other();
  // The same, only when it was given for this node.
  void drop_other_for(uint8_t node);
  // Everything that waits for this node: the drive at its number is gone,
  // and whatever answers there next is another drive.
  void forget_node(uint8_t node);
  // Whether a command waits for this node (of this kind, when given).
  bool waits_for(uint8_t node, std::optional<CommandKind> kind = std::nullopt) const;
  // The node now answers at another station: what waits for it goes there.
  void renumber(uint8_t from, uint8_t to);

 private:
  std::deque<PendingCommand> safety_;
  std::optional<PendingCommand> other_;
};

}  // namespace velmo
