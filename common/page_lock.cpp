#include "common/page_lock.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace velmo {

namespace {

// Half the page's own background laid over it: text and frames fade as on
// a disabled page, and the values stay readable. It takes the user's clicks
// itself: Qt gives a clicked control the focus before any filter sees the
// click, and a field that takes the focus makes the one that had it report
// itself left in the middle of the exchange.
class Veil : public QWidget {
 public:
  explicit Veil(QWidget* page) : QWidget(page) {
    setObjectName(QStringLiteral("PageVeil"));
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QColor fade = parentWidget()->palette().color(QPalette::Window);
    fade.setAlpha(150);
    QPainter(this).fillRect(rect(), fade);
  }
};

bool is_input(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

void PageLock::lock(QWidget* page) {
  if (page_ == page) return;
  release();
  if (!page) return;
  page_ = page;
  veil_ = page->findChild<QWidget*>(QStringLiteral("PageVeil"), Qt::FindDirectChildrenOnly);
  if (!veil_) veil_ = new Veil(page);
  veil_->setGeometry(page->rect());
  veil_->raise();
  veil_->show();
  qApp->installEventFilter(this);
}

void PageLock::release() {
  if (qApp) qApp->removeEventFilter(this);
  if (veil_) veil_->hide();
  page_ = nullptr;
  veil_ = nullptr;
}

bool PageLock::eventFilter(QObject* watched, QEvent* event) {
  if (!page_) return false;
  if (watched == page_ && event->type() == QEvent::Resize && veil_) {
    veil_->setGeometry(page_->rect());
    return false;
  }
  if (!is_input(event->type()) || !watched->isWidgetType()) return false;
  auto* target = static_cast<QWidget*>(watched);
  return target == page_ || page_->isAncestorOf(target);
}

}  // namespace velmo
