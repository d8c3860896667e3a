#pragma once
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

#include "common/log_store.h"

namespace velmo {

// A window's log: shows the most recent lines only, so that a day of polling
// costs little memory, while its store keeps every line for the records.
// Lines go in through append_line / append_lines, and out through clear_log,
// so the store and the view never disagree.
//
// A line is stored at once but shown with the others of its moment: the
// view takes what came in one layout pass a short while later, so that an
// exchange on the line never waits for a log to lay itself out or paint.
class LogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  static constexpr int kShownLines = 500;  // the latest lines; the store keeps all
  static constexpr int kShowAfterMs = 40;  // lines coming in this long are shown together

  explicit LogView(QWidget* parent = nullptr);

  void add(const QString& line);
  void add(const QStringList& lines);
  // Shows the lines still waiting, in one layout pass.
  void flush();
  void clear_all();
  const LogStore& store() const { return store_; }
  // Lines stored but not shown yet; the view is current when none are and no
  // emptying is still to be shown.
  qsizetype waiting() const { return waiting_.size(); }
  bool current() const { return waiting_.isEmpty() && !clear_waiting_; }

 signals:
  // A line was taken (stored, and shown with the next pass).
  void line_added(const QString& line);

 private:
  void hold(const QString& line);

  LogStore store_;
  QStringList waiting_;  // stored, not shown yet; never more than kShownLines
  bool clear_waiting_ = false;  // the view still shows lines the store dropped
  QTimer show_timer_;
};

// Appends to a log; a memo that is not a LogView just shows the lines.
void append_line(QPlainTextEdit* memo, const QString& line);
void append_lines(QPlainTextEdit* memo, const QStringList& lines);
// Empties a log: what it shows and what it keeps.
void clear_log(QPlainTextEdit* memo);
// Every line of a log as UTF-8 with CRLF ends (a LogView's whole store).
QByteArray log_record(const QPlainTextEdit* memo);
// What a log shows once the lines waiting to be shown are in.
QString shown_text(QPlainTextEdit* memo);

}  // namespace velmo
