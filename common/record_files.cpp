#include "common/record_files.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStringList>

#include "common/form_access.h"
#include "common/log_view.h"
#include "common/menu_file.h"

namespace velmo {

QString ask_record_path(QWidget* parent, const QString& proposed) {
  QFileDialog dialog(parent, QStringLiteral("保存记录"), proposed, QStringLiteral("文本文件（*.txt）(*.txt)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool write_memo_lines(const QPlainTextEdit* memo, const QString& path) {
  return write_file_atomically(path, log_record(memo));
}

void save_records(QWidget* window, const RecordChooser& chooser, const QString& proposed,
                  const QPlainTextEdit* chosen_memo, const std::vector<RecordFile>& beside,
                  QPlainTextEdit* failure_memo) {
  const QString chosen = chooser(window, proposed);
  if (chosen.isEmpty()) return;
  // The other logs go beside the chosen one, not wherever the program
  // happened to be started.
  const QDir folder = QFileInfo(chosen).absoluteDir();
  QStringList failed;
  if (!write_memo_lines(chosen_memo, chosen)) failed << QDir::toNativeSeparators(chosen);
  for (const RecordFile& file : beside) {
    const QString path = folder.filePath(file.name);
    if (!write_memo_lines(file.memo, path)) failed << QDir::toNativeSeparators(path);
  }
  if (failed.isEmpty()) {
    set_panel(window, QStringLiteral("记录保存成功！！"));
    return;
  }
  const QString text = QStringLiteral("记录保存失败：") + failed.join(QStringLiteral("，"));
  set_panel(window, text);
  if (failure_memo) append_line(failure_memo, text + QStringLiteral("**"));
}

}  // namespace velmo
