#pragma once
#include <QString>

#include <cstdint>

namespace velmo {

class DriveLink;
class LinkEvents;

// The main window as the node search sees it: the port settings it takes and
// where it shows its progress. Implemented by the main window.
class SearchView {
 public:
  // The main window's buttons the search switches.
  enum class Button { Connect, ClosePort, PortList, Search };

  // The port settings as chosen, by list position where the choice is one.
  struct PortChoice {
    QString name;
    uint32_t baud = 0;       // 0 when the text is no number
    int byte_size = -1;      // 5, 6, 7 bits by position 0..2, else 8
    int stop_bits = -1;      // 1, 1.5 bits by position 0..1, else 2
    QString parity;          // "None", "Even", "Odd", "Mark", "Space"
    int reply_timeout = -1;  // 250 ... 5000 ms by position 0..4, else 10000
  };

  virtual ~SearchView() = default;
  virtual PortChoice port_choice() const = 0;
  virtual int last_station() const = 0;      // the search ends at this address
  virtual int connect_station() const = 0;   // the node the connect step checks the line with
  virtual void show_status(const QString& text) = 0;
  virtual void log(const QString& line) = 0;        // as it stands
  virtual void log_timed(const QString& text) = 0;  // with the time of day
  virtual void enable(Button button, bool enabled) = 0;
};

// The node search ("搜索节点") and the connect step ("建立连接") of the main
// window: opens the port with the chosen settings, polls the stations, sorts
// the nodes into families, reports each node found and reads the connect
// snapshot.
class NodeSearch {
 public:
  NodeSearch(DriveLink& link, LinkEvents& events);
  void set_view(SearchView* view) { view_ = view; }
  void Button4Click();  // search
  void Button1Click();  // connect step
  // The program is closing: the search or connect step under way ends after
  // the exchange in flight; the stations not yet asked are not searched.
  void cut();

 private:
  // One read of the search or connect step; none once the step was cut.
  bool read(uint8_t station, uint16_t reg, uint16_t count);

  DriveLink& link_;
  LinkEvents& events_;
  SearchView* view_ = nullptr;
  int running_ = 0;
  bool cut_ = false;
};

}  // namespace velmo
