#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace velmo {

// Locks one page of a window against the user while an exchange runs, in
// one step each way: a veil over the page greys it out, and a filter drops
// the mouse, wheel and key input meant for the page or anything on it.
// Disabling the page instead would walk every control on it, each raising
// its own change events, at the start and end of every read and write.
// The controls keep their own enabled state and the keyboard focus.
class PageLock : public QObject {
 public:
  explicit PageLock(QObject* parent = nullptr) : QObject(parent) {}
  ~PageLock() override { release(); }
  PageLock(const PageLock&) = delete;
  PageLock& operator=(const PageLock&) = delete;

  // Locks `page` (a page already locked is released first).
  void lock(QWidget* page);
  void release();
  QWidget* locked_page() const { return page_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> page_;
  QPointer<QWidget> veil_;
};

}  // namespace velmo
