#pragma once
#include "common/form_access.h"

namespace velmo {

class DriveLink;
class BatchWrites;
class Notifier;

// What every window is given at creation: the drive link with its state, the
// batch writes of the main window, the notifier for message boxes and a way
// to reach the other windows by objectName ("TForm1" ... "TForm22").
struct AppContext {
  DriveLink& link;
  BatchWrites& batch;
  Notifier& notifier;
  FormLookup forms;
};

}  // namespace velmo
