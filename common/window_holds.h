#pragma once
#include <QString>

#include <cstdint>
#include <vector>

#include "common/form_access.h"

namespace velmo {

class VelmoWindow;

// The program's windows that `forms` knows, in no particular order.
std::vector<VelmoWindow*> program_windows(const FormLookup& forms);

// The window, other than `except`, that holds the drive at `station` now
// (see VelmoWindow::holds); nullptr when none does.
VelmoWindow* holder_of(const FormLookup& forms, uint8_t station, const VelmoWindow* except = nullptr);

// The line an open window shows when its station did not answer a search.
QString station_gone_text(uint8_t station);

}  // namespace velmo
