#pragma once
#include <QPlainTextEdit>
#include <QStringList>

#include "common/log_store.h"

namespace velmo {

// A window's log: shows the most recent lines only, so that a day of polling
// costs little memory, while its store keeps every line for the records.
// Lines go in through append_line / append_lines, and out through clear_log,
// so the store and the view never disagree.
class LogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  static constexpr int kShownLines = 500;  // the latest lines; the store keeps all

  explicit LogView(QWidget* parent = nullptr);

  void add(const QString& line);
  void add(const QStringList& lines);  // one layout pass for the whole block
  void clear_all();
  const LogStore& store() const { return store_; }

 private:
  LogStore store_;
};

// Appends to a log; a memo that is not a LogView just shows the lines.
void append_line(QPlainTextEdit* memo, const QString& line);
void append_lines(QPlainTextEdit* memo, const QStringList& lines);
// Empties a log: what it shows and what it keeps.
void clear_log(QPlainTextEdit* memo);
// Every line of a log as UTF-8 with CRLF ends (a LogView's whole store).
QByteArray log_record(const QPlainTextEdit* memo);

}  // namespace velmo
