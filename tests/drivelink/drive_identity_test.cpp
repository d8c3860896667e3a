// Which drive answers where: the same number on another line, or with another
// drive behind it, is another drive; a drive's records go aside with it and
// come back only with it.
#include <gtest/gtest.h>

#include "drivelink/drive_identity.h"

namespace velmo {
namespace {

// One search of `line` finding servos (station, program version, layout).
struct Servo {
  int station;
  uint16_t version, layout;
};
void search(DriveLinkState& st, const char* line, std::initializer_list<Servo> servos) {
  begin_search(st, line);
  st.servo_count = 0;
  for (const Servo& s : servos) {
    st.servo_nodes[st.servo_count++] = static_cast<uint8_t>(s.station);
    drive_answered(st, s.station, DeviceFamily::Servo, s.version);
  }
  for (const Servo& s : servos) layout_read(st, s.station, s.layout);
}

TEST(DriveIdentity, RecordsFollowTheirDriveAcrossLinesLayoutsAndRenumberings) {
  DriveLinkState st;
  search(st, "A", {{1, 6101, 1}, {2, 6001, 2}});
  const uint32_t a2 = drive_tag(st, 2);
  st.servo_restore_flags[2] = 3;
  st.servo_saved_params[2][0] = 7;

  // Line B: its servo 2 is another drive and starts with nothing of A's.
  search(st, "B", {{2, 6001, 2}, {5, 6101, 1}});
  EXPECT_NE(drive_tag(st, 2), a2);
  EXPECT_EQ(st.servo_restore_flags[2], 0);
  EXPECT_EQ(st.servo_saved_params[2][0], 0);
  EXPECT_EQ(drive_name(st, a2), QStringLiteral("节点2（A）"));
  const auto owed = parked_drives(st, [](const StationRecords& r) { return r.servo_restore_flags == 3; });
  EXPECT_EQ(owed, std::vector<uint32_t>{a2});

  // B's servo 5 is renumbered 3: its records go with it, A's stay aside.
  st.servo_restore_flags[5] = 4;
  put_station_records(st, 3, take_station_records(st, 5, false), false);
  drive_renumbered(st, 5, 3);
  EXPECT_EQ(st.servo_restore_flags[3], 4);
  EXPECT_EQ(st.servo_restore_flags[5], 0);
  EXPECT_EQ(drive_name(st, drive_tag(st, 3)), QStringLiteral("节点3（B）"));

  // Line A again, where servo 2 now has another layout: another drive too.
  search(st, "A", {{1, 6101, 1}, {2, 6001, 1}});
  EXPECT_NE(drive_tag(st, 2), a2);
  EXPECT_EQ(st.servo_restore_flags[2], 0);

  // The drive itself back at its station of its line: its records return.
  search(st, "A", {{2, 6001, 2}});
  EXPECT_EQ(drive_tag(st, 2), a2);
  EXPECT_EQ(st.servo_restore_flags[2], 3);
  EXPECT_EQ(st.servo_saved_params[2][0], 7);
  EXPECT_TRUE(parked_drives(st, [](const StationRecords& r) { return r.servo_restore_flags == 3; }).empty());

  // B's renumbered drive is found at its new number, records and all.
  search(st, "B", {{2, 6001, 2}, {3, 6101, 1}});
  EXPECT_EQ(st.servo_restore_flags[3], 4);
  EXPECT_EQ(st.servo_restore_flags[2], 0);
}

TEST(DriveIdentity, FlagsKeptByListPositionGoWithTheirDrive) {
  DriveLinkState st;
  begin_search(st, "A");
  st.bpq_nodes[0] = 3;
  st.bpq_count = 1;
  drive_answered(st, 3, DeviceFamily::Inverter, 4015);
  st.bpq_restore_flags[0] = 1;
  st.bpq_rs485_ok[0] = 1;

  // Line B lists another inverter first and A's number second.
  begin_search(st, "B");
  st.bpq_nodes[0] = 1;
  st.bpq_nodes[1] = 3;
  st.bpq_count = 2;
  drive_answered(st, 1, DeviceFamily::Inverter, 4015);
  drive_answered(st, 3, DeviceFamily::Inverter, 5015);
  EXPECT_EQ(st.bpq_restore_flags[0] + st.bpq_restore_flags[1], 0);
  EXPECT_EQ(st.bpq_rs485_ok[1], 0);

  begin_search(st, "A");
  st.bpq_nodes[0] = 2;
  st.bpq_nodes[1] = 3;
  drive_answered(st, 2, DeviceFamily::Inverter, 4015);
  drive_answered(st, 3, DeviceFamily::Inverter, 4015);
  EXPECT_EQ(st.bpq_restore_flags[0], 0);
  EXPECT_EQ(st.bpq_restore_flags[1], 1);
  EXPECT_EQ(st.bpq_rs485_ok[1], 1);
}

}  // namespace
}  // namespace velmo
