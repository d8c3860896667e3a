#include "common/menu_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <set>

namespace velmo {

namespace {

constexpr int kImageLast = 200;

bool plain_number(const QByteArray& token, int64_t* out) {
  if (token.isEmpty() || token.size() > 9) return false;
  for (char c : token)
    if (c < '0' || c > '9') return false;
  *out = token.toLongLong();
  return true;
}

}  // namespace

std::optional<int> MenuFileContent::value(int reg) const {
  for (const auto& [r, v] : entries)
    if (r == reg) return v;
  return std::nullopt;
}

QByteArray menu_file_text(const MenuFileContent& content) {
  QByteArray out;
  out += content.family.toLatin1() + "\r\n";
  if (content.model_type) out += QByteArray::number(*content.model_type) + "\r\n";
  out += "ADDR    DATA\r\n";
  for (const auto& [reg, value] : content.entries)
    out += QByteArray::number(reg) + QByteArray(10, ' ') + QByteArray::number(value) + "\r\n";
  return out;
}

MenuFileParse parse_menu_file(const QByteArray& bytes, const QString& family, bool model_line) {
  MenuFileParse result;
  QByteArray text = bytes;
  if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);

  auto fail = [&result](MenuFileError error, int line) {
    result.error = error;
    result.line = line;
    result.content = {};
    return result;
  };

  enum Stage { Family, Model, Columns, Entries } stage = Family;
  std::set<int> seen;
  const QList<QByteArray> lines = text.split('\n');
  for (int n = 0; n < lines.size(); ++n) {
    QByteArray line = lines[n];
    if (line.endsWith('\r')) line.chop(1);
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty()) continue;
    for (char c : trimmed)
      if (static_cast<unsigned char>(c) > 0x7E) return fail(stage == Entries ? MenuFileError::BadLine : MenuFileError::Header, n + 1);
    switch (stage) {
      case Family:
        if (QString::fromLatin1(trimmed) != family) return fail(MenuFileError::Header, n + 1);
        result.content.family = family;
        stage = model_line ? Model : Columns;
        break;
      case Model: {
        int64_t model = 0;
        if (!plain_number(trimmed, &model)) return fail(MenuFileError::Header, n + 1);
        result.content.model_type = static_cast<int>(model);
        stage = Columns;
        break;
      }
      case Columns: {
        const QList<QByteArray> words = trimmed.simplified().split(' ');
        if (words != QList<QByteArray>{"ADDR", "DATA"}) return fail(MenuFileError::Header, n + 1);
        stage = Entries;
        break;
      }
      case Entries: {
        const QList<QByteArray> fields = trimmed.simplified().split(' ');
        int64_t reg = 0, value = 0;
        if (fields.size() != 2 || !plain_number(fields[0], &reg) || !plain_number(fields[1], &value))
          return fail(MenuFileError::BadLine, n + 1);
        if (value > 65535) return fail(MenuFileError::OutOfRange, n + 1);
        if (!seen.insert(static_cast<int>(reg)).second) return fail(MenuFileError::Duplicate, n + 1);
        if (reg <= kImageLast) result.content.entries.emplace_back(static_cast<int>(reg), static_cast<int>(value));
        break;
      }
    }
  }
  if (stage != Entries) return fail(MenuFileError::Header, static_cast<int>(lines.size()));
  return result;
}

bool lists_exactly(const MenuFileContent& content, const std::vector<int>& registers) {
  std::vector<int> have;
  for (const auto& e : content.entries) have.push_back(e.first);
  std::vector<int> want = registers;
  std::sort(have.begin(), have.end());
  std::sort(want.begin(), want.end());
  return have == want;
}

bool write_file_atomically(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error) *error = file.errorString();
    file.cancelWriting();
    return false;
  }
  return true;
}

bool read_whole_file(const QString& path, QByteArray* bytes, qint64 max_size) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > max_size) return false;
  *bytes = file.readAll();
  return true;
}

bool save_record_files(const QString& chosen_path, const QString& success_name, const QString& success_text,
                       const QString& failure_name, const QString& failure_text) {
  const QDir folder = QFileInfo(chosen_path).absoluteDir();
  auto text = [](const QString& memo) {
    QByteArray out;
    if (memo.isEmpty()) return out;
    for (const QString& line : memo.split(QLatin1Char('\n'))) out += line.toUtf8() + "\r\n";
    return out;
  };
  const bool a = write_file_atomically(folder.filePath(success_name), text(success_text));
  const bool b = write_file_atomically(folder.filePath(failure_name), text(failure_text));
  return a && b;
}

}  // namespace velmo
