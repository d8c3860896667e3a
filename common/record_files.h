#pragma once
#include <QString>

#include <functional>
#include <vector>

class QPlainTextEdit;
class QWidget;

namespace velmo {

// Asks where to save a log; an empty answer means cancelled.
using RecordChooser = std::function<QString(QWidget* parent, const QString& proposed)>;

// The save dialog for records ("*.txt", the proposed name preselected).
QString ask_record_path(QWidget* parent, const QString& proposed);

// Writes every line of the log (not only those shown), UTF-8 with CRLF
// ends, under a temporary name and renames it over `path`: a failure never leaves a half-written file behind.
bool write_memo_lines(const QPlainTextEdit* memo, const QString& path);

// A log saved under a fixed name beside the one the user chose.
struct RecordFile {
  const QPlainTextEdit* memo;
  QString name;
};

// One "save records" click of a window: the chooser picks the file of
// `chosen_memo` (offering `proposed`); the `beside` logs go into the same
// folder under their own names. Panel1 of `window` says how it went; a
// failure, naming every file that could not be written, is also added to
// `failure_memo` (may be null). Nothing happens when the user cancels.
void save_records(QWidget* window, const RecordChooser& chooser, const QString& proposed,
                  const QPlainTextEdit* chosen_memo, const std::vector<RecordFile>& beside,
                  QPlainTextEdit* failure_memo);

}  // namespace velmo
