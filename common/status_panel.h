#pragma once
#include <QLabel>

namespace velmo {

// Panel1, a window's status caption. Its text() is always the whole message;
// it is drawn centred on one line when it fits, wrapped over the panel's
// height when that fits, and otherwise shortened in the middle (where a
// message usually carries a long path) with the whole text in its tip. A
// plain centred QLabel would cut a long line at both ends.
class StatusPanel : public QLabel {
  Q_OBJECT
 public:
  explicit StatusPanel(QWidget* parent = nullptr);

  // How the current text is drawn in the current size, for the tip and the tests.
  enum class Fit { OneLine, Wrapped, Shortened };
  Fit fit() const;
  // The text as drawn on one line when shortened; the text itself otherwise.
  QString shown_text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int wrap_flags() const;
};

}  // namespace velmo
