#pragma once

namespace velmo {

// Closes every popup and modal dialog open now, innermost first, as if the
// user had cancelled each: a message box, a file dialog, a menu. Their
// exec() returns once the event loop runs again.
void dismiss_open_dialogs();

}  // namespace velmo
