#include "common/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace velmo {

namespace {
QString filter_for(const QString& suffix) {
  return suffix == QLatin1String("txt") ? QStringLiteral("文本文件（*.txt） (*.txt)") : QStringLiteral("*.") + suffix;
}
}  // namespace

QString DialogFileChooser::save_file(QWidget* parent, const QString& proposed_name, const QString& suffix) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  dialog.setNameFilter(filter_for(suffix));
  dialog.setDirectory(folder_.isEmpty() ? QDir::currentPath() : folder_);
  dialog.selectFile(proposed_name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().first();
  folder_ = QFileInfo(chosen).absolutePath();
  return chosen;
}

QString DialogFileChooser::open_file(QWidget* parent, const QString& suffix) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(suffix);
  dialog.setNameFilter(filter_for(suffix));
  dialog.setDirectory(folder_.isEmpty() ? QDir::currentPath() : folder_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().first();
  folder_ = QFileInfo(chosen).absolutePath();
  return chosen;
}

}  // namespace velmo
