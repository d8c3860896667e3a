#pragma once
#include <QString>

#include <cstdint>

class QLabel;
class QPlainTextEdit;

namespace velmo::tuning {

// The tuning window's messages: the caption "节点N：text" on Panel1, success
// lines in Memo3 and failure lines (ending in "!!") in Memo4, each followed
// by two blanks and the time.
class TuningReport {
 public:
  // The node of every line is the station the window talks to.
  TuningReport(const uint8_t& node, QLabel* panel, QPlainTextEdit* done_log, QPlainTextEdit* fail_log)
      : node_(node), panel_(panel), done_(done_log), fail_(fail_log) {}
  void caption(const QString& text);        // Panel1 only
  void done(const QString& text);           // Panel1 and Memo3
  void done_line(const QString& text);      // Memo3 only
  void failed(const QString& text);         // Panel1 "text", Memo4 "text!!"
  void fail_line(const QString& line);      // Memo4, the line as given plus the time
  void bare(const QString& text);           // Panel1 and Memo4 without node or time

 private:
  QString framed(const QString& text) const;
  const uint8_t& node_;
  QLabel* panel_;
  QPlainTextEdit* done_;
  QPlainTextEdit* fail_;
};

}  // namespace velmo::tuning
