#pragma once
#include <QComboBox>
#include <QLineEdit>
#include <QValidator>

#include "common/param_row.h"

class QTabWidget;

namespace velmo {

// The key and paste filter of a number field (digits; one "." in decimal
// fields; a leading "-" in signed ones; the row's maximum length).
class RowValidator : public QValidator {
 public:
  RowValidator(const ParamRow& row, QObject* parent) : QValidator(parent), row_(row) {}
  State validate(QString& input, int& pos) const override;

 private:
  const ParamRow& row_;
};

// The edit box of a number field: Enter and leaving the field are reported
// to the editor; losing the focus to another window or a menu is not leaving.
class ParamEdit : public QLineEdit {
  Q_OBJECT
 public:
  ParamEdit(const ParamRow& row, QWidget* parent);
  const ParamRow& row() const { return row_; }
  // Moves the focus to the next control without reporting the field as left
  // (the Enter handler has already done that).
  void focus_next();

 signals:
  void entered();
  void left();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  const ParamRow& row_;
  bool moving_on_ = false;
};

// A parameter's drop-down list. The mouse wheel never changes it: a pick
// writes to the drive, so only a deliberate click or key may pick.
class ParamCombo : public QComboBox {
  Q_OBJECT
 public:
  ParamCombo(const ParamRow& row, QWidget* parent);
  const ParamRow& row() const { return row_; }

 protected:
  void wheelEvent(QWheelEvent* event) override;

 private:
  const ParamRow& row_;
};

// Controls built for a table: one per row that names a control.
struct BuiltControls {
  std::vector<QWidget*> by_row;  // parallel to table.rows; nullptr for rows without a control
  std::vector<QWidget*> labels;  // the caption and unit labels of each row, parallel too
  std::vector<QWidget*> units;
  std::vector<QWidget*> pages;   // one per tab caption
  struct Box {
    QWidget* box;
    uint32_t layouts;
  };
  std::vector<Box> boxes;        // every group box with the layouts it serves
};

// Adds a tab sheet per caption of the table to `area` (a tab widget) and
// fills it with the group boxes of its groups and, in them, a label, the
// control and the unit of each row, each control named by its row. An area
// that is no tab widget holds every group box itself.
BuiltControls build_param_controls(const ParamTable& table, QWidget* area);

}  // namespace velmo
