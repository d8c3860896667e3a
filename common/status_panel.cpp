#include "common/status_panel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace velmo {

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setAlignment(Qt::AlignCenter);
}

int StatusPanel::wrap_flags() const { return Qt::AlignCenter | Qt::TextWrapAnywhere; }

StatusPanel::Fit StatusPanel::fit() const {
  const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QFontMetrics metrics(font());
  if (metrics.horizontalAdvance(text()) <= room.width() && !text().contains(QLatin1Char('\n'))) return Fit::OneLine;
  // Chinese messages wrap between any two characters, and a path has no blank
  // to wrap at: wrapping anywhere keeps every character on the panel.
  const QRect needed = metrics.boundingRect(room, wrap_flags(), text());
  return needed.height() <= room.height() ? Fit::Wrapped : Fit::Shortened;
}

QString StatusPanel::shown_text() const {
  if (fit() != Fit::Shortened) return text();
  const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  QString line = text();
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return QFontMetrics(font()).elidedText(line, Qt::ElideMiddle, room.width());
}

void StatusPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  const Fit how = fit();
  if (how == Fit::Wrapped) {
    painter.drawText(room, wrap_flags(), text());
  } else {
    painter.drawText(room, Qt::AlignCenter | Qt::TextSingleLine, shown_text());
  }
}

bool StatusPanel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
    // The whole message, when the panel had to shorten it.
    auto* help = static_cast<QHelpEvent*>(event);
    if (fit() == Fit::Shortened) QToolTip::showText(help->globalPos(), text(), this);
    else QToolTip::hideText();
    return true;
  }
  return QLabel::event(event);
}

}  // namespace velmo
