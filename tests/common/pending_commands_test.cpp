// Deferred commands of the bus control windows: what waits, in which order.
#include <gtest/gtest.h>

#include "common/pending_commands.h"

namespace velmo {
namespace {

constexpr PendingCommand run(uint8_t code, uint8_t node) { return {code, node, CommandKind::Run}; }
constexpr PendingCommand safety(uint8_t code, uint8_t node) { return {code, node, CommandKind::Safety}; }
constexpr PendingCommand other(uint8_t code, uint8_t node) { return {code, node, CommandKind::Other}; }

std::vector<PendingCommand> drain(PendingCommands& p) {
  std::vector<PendingCommand> out;
  while (!p.empty()) out.push_back(p.take());
  return out;
}

TEST(PendingCommands, EmptyShowsCodeZero) {
  PendingCommands p;
  EXPECT_TRUE(p.empty());
  EXPECT_EQ(p.code(), 0);
  EXPECT_FALSE(p.next().has_value());
}

TEST(PendingCommands, ReplayOrder) {
  struct Case {
    const char* what;
    std::vector<PendingCommand> stored;
    std::vector<PendingCommand> replayed;
  };
  const Case cases[] = {
      {"newest run or settings command wins", {run(4, 1), other(11, 1), run(5, 2)}, {run(5, 2)}},
      {"a run command never displaces a stop", {safety(6, 1), run(4, 1)}, {safety(6, 1), run(4, 1)}},
      {"a stop cancels the run command stored before it", {run(4, 1), safety(6, 1)}, {safety(6, 1)}},
      {"stops of two nodes both wait, in click order",
       {safety(6, 1), safety(9, 2), other(12, 2)},
       {safety(6, 1), safety(9, 2), other(12, 2)}},
      {"a repeated stop is queued once", {safety(6, 1), safety(6, 1)}, {safety(6, 1)}},
      {"stop then reset of one node both go", {safety(6, 1), safety(13, 1)}, {safety(6, 1), safety(13, 1)}},
      {"the node is remembered", {other(15, 3)}, {other(15, 3)}},
  };
  for (const Case& c : cases) {
    PendingCommands p;
    for (const PendingCommand& cmd : c.stored) p.store(cmd);
    EXPECT_EQ(p.code(), c.replayed.front().code) << c.what;
    EXPECT_EQ(drain(p), c.replayed) << c.what;
  }
}

TEST(PendingCommands, DroppingOtherKeepsStopsAndResets) {
  PendingCommands p;
  p.store(safety(13, 1));
  p.store(run(4, 2));
  p.drop_other();
  EXPECT_TRUE(p.has_safety());
  EXPECT_EQ(drain(p), std::vector<PendingCommand>{safety(13, 1)});

  p.store(other(11, 2));
  p.drop_other_for(1);  // another node: stays
  EXPECT_EQ(p.code(), 11);
  p.drop_other_for(2);
  EXPECT_TRUE(p.empty());
}

}  // namespace
}  // namespace velmo
