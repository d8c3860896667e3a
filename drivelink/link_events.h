#pragma once
#include <QObject>
#include <QString>

#include <cstdint>

#include "drivelink/node_classification.h"

namespace velmo {

// What the node search, the connect step and the batch writes report. The
// link layer only says what happened; the windows that show it connect here
// (the main window its list and log, each family window its own node list).
// Every signal is delivered at once, in the order the steps happen.
class LinkEvents : public QObject {
  Q_OBJECT
 signals:
  // A search starts afresh: every node list is emptied.
  void node_lists_cleared();
  // A node answered the search: it joins the list of every node and the
  // lists of its family.
  void node_found(velmo::DeviceFamily family, int station);
  // The search has ended, whatever it found: the lists hold what answered.
  void node_search_ended();
  // A family's menu editor gave a drive another station number: its records
  // have moved, and the lists and windows follow it to the new address.
  void station_moved(velmo::DeviceFamily family, int from, int to);
  // The character time (ms) the editors show, taken from the baud rate.
  void char_time_changed(uint32_t ms);

  // One of the mode writes before a servo's settings are restored, for the
  // gain-tuning window.
  void servo_mode_written(int station, const QString& text, bool done);
  // One step of restoring a drive's own settings, for the main window's log.
  void restore_written(const QString& text, bool ok);
  // A write that switches a family's selected node to bus control: the main
  // window logs a failure, the family's control window shows either outcome.
  void bus_switch_written(velmo::DeviceFamily family, const QString& text, bool ok);
};

}  // namespace velmo
