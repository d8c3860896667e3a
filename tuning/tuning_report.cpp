#include "tuning/tuning_report.h"

#include <QLabel>
#include <QPlainTextEdit>

#include "common/form_access.h"
#include "common/log_view.h"
#include "common/status_line.h"

namespace velmo::tuning {

QString TuningReport::framed(const QString& text) const { return node_line(node_, text); }

void TuningReport::caption(const QString& text) { set_panel_text(panel_, framed(text)); }

void TuningReport::done(const QString& text) {
  caption(text);
  done_line(text);
}

void TuningReport::done_line(const QString& text) { append_line(done_, timed_line(framed(text))); }

void TuningReport::failed(const QString& text) {
  caption(text);
  append_line(fail_, timed_line(framed(text + QStringLiteral("!!"))));
}

void TuningReport::fail_line(const QString& line) { append_line(fail_, timed_line(framed(line))); }

void TuningReport::bare(const QString& text) {
  set_panel_text(panel_, text);
  append_line(fail_, text);
}

}  // namespace velmo::tuning
