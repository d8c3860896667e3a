#include "common/record_files.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>

#include "common/form_access.h"
#include "common/log_view.h"
#include "common/menu_file.h"
#include "common/status_line.h"

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
                  const QPlainTextEdit* chosen_memo, const std::vector<RecordFile>& beside, const RecordLogs& logs) {
  const QString chosen = chooser(window, proposed);
  if (chosen.isEmpty()) return;
  // The other logs go beside the chosen one, not wherever the program
  // happened to be started.
  const QDir folder = QFileInfo(chosen).absoluteDir();
  QStringList failed;
  if (chosen_memo && !write_memo_lines(chosen_memo, chosen)) failed << QDir::toNativeSeparators(chosen);
  for (const RecordFile& file : beside) {
    const QString path = folder.filePath(file.name);
    if (!write_memo_lines(file.memo, path)) failed << QDir::toNativeSeparators(path);
  }
  // A success replaces an earlier failure on the panel: the panel always
  // tells the last save.
  const bool ok = failed.isEmpty();
  const QString head = ok ? QStringLiteral("记录已保存到 ") : QStringLiteral("记录保存失败：");
  const QString paths = ok ? QDir::toNativeSeparators(folder.absolutePath()) : failed.join(QStringLiteral("，"));
  if (auto* panel = window->findChild<QLabel*>(QStringLiteral("Panel1"))) set_panel_text(panel, head + paths);
  const QString line = ok ? head + paths : head + paths + QStringLiteral("**");
  if (QPlainTextEdit* log = ok ? logs.success : logs.failure) append_line(log, logs.timed ? timed_line(line) : line);
}

}  // namespace velmo
