#include "common/value_marks.h"

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

void mark_unconfirmed(QWidget* control, bool on, const QString& why) {
  if (!control) return;
  const bool was = is_marked_unconfirmed(control);
  if (!was && !on) return;
  if (!was) control->setProperty(kOwnTipProperty, control->toolTip());
  const QString own = control->property(kOwnTipProperty).toString();
  if (on) {
    // The field's own hint (its range) stays under the reason.
    control->setToolTip(own.isEmpty() ? why : why + QStringLiteral("\n") + own);
  } else {
    control->setToolTip(own);
  }
  if (was == on) return;
  control->setStyleSheet(QString::fromLatin1(value_mark_style(false, on)));
  control->setProperty(kUnconfirmedProperty, on);
}

bool is_marked_unconfirmed(const QWidget* control) {
  return control && control->property(kUnconfirmedProperty).toBool();
}

}  // namespace velmo
