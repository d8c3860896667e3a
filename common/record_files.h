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

// Where a window logs how a record save went (either may be null, or both
// the same log), and whether its log lines carry the time of day.
struct RecordLogs {
  QPlainTextEdit* success = nullptr;
  QPlainTextEdit* failure = nullptr;
  bool timed = false;
};

// One "save records" click of a window: the chooser picks the file of
// `chosen_memo` (offering `proposed`; no memo: the name only chooses the
// folder); the `beside` logs go into the same folder under their own names.
// Panel1 of `window` says how it went, a success naming the folder, a
// failure every file that could not be written (shortened to fit the
// panel); the logs get the whole line. Nothing happens when the user cancels.
void save_records(QWidget* window, const RecordChooser& chooser, const QString& proposed,
                  const QPlainTextEdit* chosen_memo, const std::vector<RecordFile>& beside, const RecordLogs& logs);

}  // namespace velmo
