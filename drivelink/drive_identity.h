#pragma once
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drivelink/drive_link_state.h"

// Which drive answers at a station.
//
// A drive is its line, its station and what the search found there (family,
// program version, menu layout). Each search records that for every station
// that answers; a drive found again on the same line at the same station with
// the same family, version and layout keeps its tag, anything else gets
// another one. What follows a drive: its per-address records (connect
// snapshot, restore flags and snapshot, run, bus and jog state), moved to its
// new number when renumbered. When a search no longer finds a drive, or finds
// another drive at its number, its records are set aside under its tag
// (nothing of them reaches the new drive at that number) and come back only
// when that same drive answers again. The node lists, the layout, resolution
// and model type always come from the newest search.
namespace velmo {

// The line a port name stands for: the name and the device it leads to (a
// virtual line's link may later lead elsewhere).
std::string line_identity(const QString& port_name);
// The port name part of a line identity, for messages.
QString line_name(const std::string& line);

// A search of `line` begins: every drive of the line searched before is set
// aside with its records, and no address names a drive.
void begin_search(DriveLinkState& st, const std::string& line);
// The station answered the search with this program version (it is in its
// family's list already): which drive it is, and that drive's records back.
uint32_t drive_answered(DriveLinkState& st, int address, DeviceFamily family, uint16_t version);
// The connect step read the menu layout of the drive at `address`: a layout
// other than the one this drive had shows another drive with the same
// version, which gets its own tag; the records taken back go aside again.
void layout_read(DriveLinkState& st, int address, uint16_t layout);
// The drive at `from` answers at `to` now.
void drive_renumbered(DriveLinkState& st, int from, int to);

// The tag of the drive at `address` on the line searched last (0: none).
uint32_t drive_tag(const DriveLinkState& st, int address);
// The menu layout last read from a drive (0: none read).
uint16_t found_layout(const DriveLinkState& st, uint32_t tag);
// "节点2（/dev/ttyUSB0）" for a drive found at some time (empty for tag 0).
QString drive_name(const DriveLinkState& st, uint32_t tag);
// The line a drive was found on ("" for tag 0).
std::string drive_line(const DriveLinkState& st, uint32_t tag);

// Drives set aside whose records still owe them a restore, as `owes` tells.
std::vector<uint32_t> parked_drives(const DriveLinkState& st, const std::function<bool(const StationRecords&)>& owes);
// The names of those drives, one after another ("节点2（/dev/A）、节点3（/dev/A）").
QString parked_names(const DriveLinkState& st, const std::vector<uint32_t>& tags);

// The records of one address, taken out (the address left cleared), and put
// back. `by_position`: the inverter and speed-controller flags kept by list
// position go with them (the address must be listed).
StationRecords take_station_records(DriveLinkState& st, int address, bool by_position);
void put_station_records(DriveLinkState& st, int address, const StationRecords& records, bool by_position);

}  // namespace velmo
