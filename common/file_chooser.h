#pragma once
#include <QString>

class QWidget;

namespace velmo {

// The save and open dialogs of the menu editors. Tests put in a chooser that
// answers without a dialog.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The file to write; empty when the user cancels.
  virtual QString save_file(QWidget* parent, const QString& proposed_name, const QString& suffix) = 0;
  // The file to read; empty when the user cancels.
  virtual QString open_file(QWidget* parent, const QString& suffix) = 0;
};

// Modal file dialogs that start in the folder chosen last.
class DialogFileChooser : public FileChooser {
 public:
  QString save_file(QWidget* parent, const QString& proposed_name, const QString& suffix) override;
  QString open_file(QWidget* parent, const QString& suffix) override;

 private:
  QString folder_;
};

}  // namespace velmo
