#pragma once
#include <QWidget>

#include <memory>
#include <vector>

#include "common/app_context.h"
#include "common/node_lists.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"
#include "drivelink/batch_writes.h"
#include "drivelink/node_search.h"

namespace velmo {

class MainWindow;

// The program: the drive link, the node search, the batch writes and the
// fourteen windows, created once in a fixed order and kept until the end.
class VelmoApp {
 public:
  VelmoApp();  // message boxes on screen
  explicit VelmoApp(Notifier& notifier);
  ~VelmoApp();
  VelmoApp(const VelmoApp&) = delete;
  VelmoApp& operator=(const VelmoApp&) = delete;

  // A window by objectName ("TForm1" ... "TForm22"); nullptr if unknown.
  QWidget* form(const char* name) const;
  MainWindow& main_window() const;
  // The windows in creation order.
  const std::vector<QWidget*>& windows() const { return windows_; }

  DriveLink& link() { return link_; }
  NodeSearch& search() { return search_; }
  BatchWrites& batch() { return batch_; }
  Notifier& notifier() { return notifier_; }
  AppContext& context() { return ctx_; }

 private:
  void create_windows();
  // The node lists follow the search (once the windows exist).
  void connect_node_lists();

  std::unique_ptr<Notifier> own_notifier_;
  Notifier& notifier_;
  DriveLink link_;
  LinkEvents events_;
  FormLookup lookup_;
  BatchWrites batch_;
  NodeSearch search_;
  AppContext ctx_;
  std::vector<std::unique_ptr<QWidget>> owned_;
  std::vector<QWidget*> windows_;
  NodeListSet node_lists_;
};

}  // namespace velmo
