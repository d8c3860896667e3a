#include "common/log_view.h"

#include <algorithm>

namespace velmo {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  // A log is never edited: an undo history would keep every dropped line.
  setUndoRedoEnabled(false);
  // The document drops the oldest line as each new one comes, and lets go of
  // its text for good.
  setMaximumBlockCount(kShownLines);
}

void LogView::add(const QString& line) {
  store_.append(line);
  appendPlainText(line);
}

void LogView::add(const QStringList& lines) {
  if (lines.isEmpty()) return;
  for (const QString& line : lines) store_.append(line);
  // Only the lines that stay shown are laid out.
  const qsizetype first = std::max<qsizetype>(0, lines.size() - kShownLines);
  appendPlainText(lines.mid(first).join(QLatin1Char('\n')));
}

void LogView::clear_all() {
  store_.clear();
  clear();
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

}  // namespace velmo
