#include "common/value_marks.h"

#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace velmo {

namespace {
const char* const kUnreadStyle = "font-style: italic; background-color: #ffecaa;";
const char* const kUnconfirmedStyle = "background-color: #ffd27f;";
const char* const kUnreadUnconfirmedStyle = "font-style: italic; background-color: #ffd27f;";
constexpr char kUnconfirmedProperty[] = "unconfirmed";
constexpr char kOwnTipProperty[] = "velmo_own_tooltip";

// How an exchange failed.
QString failure_of(const ExchangeOutcome& outcome) {
  if (outcome.kind == ExchangeOutcome::Exception)
    return QStringLiteral("被驱动器拒绝（异常码%1）").arg(outcome.exception_code, 2, 16, QLatin1Char('0')).toUpper();
  return QStringLiteral("没有得到有效应答");
}
}  // namespace

const char* value_mark_style(bool unread, bool unconfirmed) {
  if (unconfirmed) return unread ? kUnreadUnconfirmedStyle : kUnconfirmedStyle;
  return unread ? kUnreadStyle : "";
}

QString unconfirmed_hint(const ExchangeOutcome& write, const ExchangeOutcome& read_back) {
  const QString w = failure_of(write), r = failure_of(read_back);
  if (w == r) return QStringLiteral("驱动器未确认此值：写入与回读都") + w;
  return QStringLiteral("驱动器未确认此值：写入") + w + QStringLiteral("，回读") + r;
}

QString unconfirmed_hint(const ExchangeOutcome& write) {
  return QStringLiteral("驱动器未确认此值：写入") + failure_of(write);
}

namespace {
constexpr char kUnreadProperty[] = "unread";
constexpr char kUnconfirmedWhy[] = "velmo_unconfirmed_why";
constexpr char kUnreadWhy[] = "velmo_unread_why";
constexpr char kShownTipProperty[] = "velmo_marked_tooltip";

// Sets one of the two marks; the tooltip lists the reasons above the
// control's own tip, which comes back when no mark is left.
void set_mark(QWidget* control, const char* flag, const char* why_property, bool on, const QString& why) {
  if (!control) return;
  const bool marked = is_marked_unconfirmed(control) || is_marked_unread(control);
  if (!marked && !on) return;
  // A tip the window set since the marks went on is its own one now.
  if (!marked || control->toolTip() != control->property(kShownTipProperty).toString())
    control->setProperty(kOwnTipProperty, control->toolTip());
  const bool was = control->property(flag).toBool();
  control->setProperty(flag, on);
  control->setProperty(why_property, on ? why : QString());
  QStringList lines;
  for (const char* p : {kUnconfirmedWhy, kUnreadWhy}) {
    const QString r = control->property(p).toString();
    if (!r.isEmpty()) lines << r;
  }
  const QString own = control->property(kOwnTipProperty).toString();
  if (!own.isEmpty()) lines << own;
  const QString tip = lines.join(QLatin1Char('\n'));
  control->setToolTip(tip);
  control->setProperty(kShownTipProperty, tip);
  if (was != on)
    control->setStyleSheet(
        QString::fromLatin1(value_mark_style(is_marked_unread(control), is_marked_unconfirmed(control))));
}
}  // namespace

void mark_unconfirmed(QWidget* control, bool on, const QString& why) {
  set_mark(control, kUnconfirmedProperty, kUnconfirmedWhy, on, why);
}

bool is_marked_unconfirmed(const QWidget* control) {
  return control && control->property(kUnconfirmedProperty).toBool();
}

void mark_unread(QWidget* control, bool on, const QString& why) { set_mark(control, kUnreadProperty, kUnreadWhy, on, why); }

bool is_marked_unread(const QWidget* control) { return control && control->property(kUnreadProperty).toBool(); }

}  // namespace velmo
