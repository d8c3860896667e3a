#pragma once
#include "common/form_access.h"

namespace velmo {

class DriveLink;
class BatchWrites;
class LinkEvents;
class Notifier;

// What every window is given at creation: the drive link with its state, the
// batch writes of the main window, the notifier for message boxes, a way to
// reach the other windows by objectName ("TForm1" ... "TForm22") and the
// events of the link layer that windows show.
struct AppContext {
  DriveLink& link;
  BatchWrites& batch;
  Notifier& notifier;
  FormLookup forms;
  LinkEvents& events;
};

}  // namespace velmo
