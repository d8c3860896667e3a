#pragma once
#include <QString>

namespace velmo {

// Creates `dir` (mode 0700) when missing. Returns it when it is a real
// folder owned by this user and closed to others, otherwise an empty string:
// a folder under /tmp made or swapped by someone else must not be trusted.
QString ensure_private_folder(const QString& dir);

// Gives this process a runtime folder (XDG_RUNTIME_DIR) when its session has
// none, before Qt looks for one: /run/user/UID where it exists, else
// TMPDIR/runtime-UID. Qt would otherwise pick the second itself and warn
// about it on every start.
void provide_runtime_folder();

}  // namespace velmo
