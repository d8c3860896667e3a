#pragma once
#include <QString>

#include "drivelink/drive_link.h"

class QWidget;

// The one look of a shown value that is not known to be the drive's, for
// every window: a value of no known source is italic on pale amber (as a
// status left from an old read), one the drive did not confirm orange.
namespace velmo {

// The style sheet of a control with these marks ("" for none).
const char* value_mark_style(bool unread, bool unconfirmed);

// The tooltip of a value the drive did not confirm: how its write failed,
// and how the read that followed it failed.
QString unconfirmed_hint(const ExchangeOutcome& write, const ExchangeOutcome& read_back);
// The same for a write that no read followed.
QString unconfirmed_hint(const ExchangeOutcome& write);

// Marks a control outside the editors as unconfirmed (the look and the
// tooltip `why`) or takes the mark off; its own tooltip comes back with it.
void mark_unconfirmed(QWidget* control, bool on, const QString& why = {});
bool is_marked_unconfirmed(const QWidget* control);

// The same for a value not read from the selected drive (a value left from
// another node, or none read yet); both marks may stand together.
void mark_unread(QWidget* control, bool on, const QString& why = {});
bool is_marked_unread(const QWidget* control);

}  // namespace velmo
