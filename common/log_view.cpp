#include "common/log_view.h"

namespace velmo {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  // A log is never edited: an undo history would keep every dropped line.
  setUndoRedoEnabled(false);
  // The document drops the oldest line as each new one comes, and lets go of
  // its text for good.
  setMaximumBlockCount(kShownLines);
  show_timer_.setSingleShot(true);
  show_timer_.setInterval(kShowAfterMs);
  connect(&show_timer_, &QTimer::timeout, this, &LogView::flush);
}

void LogView::hold(const QString& line) {
  store_.append(line);
  // Older lines would scroll out of the view in the same pass anyway.
  if (waiting_.size() == kShownLines) waiting_.removeFirst();
  waiting_.append(line);
  emit line_added(line);
}

void LogView::add(const QString& line) {
  hold(line);
  if (!show_timer_.isActive()) show_timer_.start();
}

void LogView::add(const QStringList& lines) {
  if (lines.isEmpty()) return;
  for (const QString& line : lines) hold(line);
  if (!show_timer_.isActive()) show_timer_.start();
}

void LogView::flush() {
  show_timer_.stop();
  if (clear_waiting_) {
    clear_waiting_ = false;
    clear();
  }
  if (waiting_.isEmpty()) return;
  // Taken first: whoever the append notifies may add or flush again.
  const QString block = waiting_.join(QLatin1Char('\n'));
  waiting_.clear();
  appendPlainText(block);
}

void LogView::clear_all() {
  store_.clear();
  waiting_.clear();
  // The view empties with the next pass, with the lines that follow, so the
  // start of a sequence never waits for the old text to be dropped.
  clear_waiting_ = true;
  if (!show_timer_.isActive()) show_timer_.start();
}

void append_line(QPlainTextEdit* memo, const QString& line) {
  if (auto* log = qobject_cast<LogView*>(memo)) {
    log->add(line);
  } else {
    memo->appendPlainText(line);
  }
}

void append_lines(QPlainTextEdit* memo, const QStringList& lines) {
  if (auto* log = qobject_cast<LogView*>(memo)) {
    log->add(lines);
  } else if (!lines.isEmpty()) {
    memo->appendPlainText(lines.join(QLatin1Char('\n')));
  }
}

void clear_log(QPlainTextEdit* memo) {
  if (auto* log = qobject_cast<LogView*>(memo)) {
    log->clear_all();
  } else {
    memo->clear();
  }
}

QByteArray log_record(const QPlainTextEdit* memo) {
  if (auto* log = qobject_cast<const LogView*>(memo)) return log->store().to_crlf_utf8();
  QByteArray bytes;
  const QString text = memo->toPlainText();
  if (!text.isEmpty())
    for (const QString& line : text.split(QLatin1Char('\n'))) bytes += line.toUtf8() + "\r\n";
  return bytes;
}

QString shown_text(QPlainTextEdit* memo) {
  if (auto* log = qobject_cast<LogView*>(memo)) log->flush();
  return memo->toPlainText();
}

}  // namespace velmo
