#pragma once
#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace velmo {

// A parameter-set file of one node: the family word ("SERVO", "BPQ", "TSQ"),
// for inverters a model-type line, "ADDR    DATA", then one line per
// register: the register, ten blanks, the value, both in decimal.
struct MenuFileContent {
  QString family;
  std::optional<int> model_type;
  std::vector<std::pair<int, int>> entries;  // register, value (0..65535), in file order

  std::optional<int> value(int reg) const;
};

enum class MenuFileError {
  None,
  Header,      // family word, model line or "ADDR    DATA" missing or wrong
  BadLine,     // a line that is not two decimal numbers
  OutOfRange,  // a value outside 0..65535
  Duplicate,   // a register listed twice
};

struct MenuFileParse {
  MenuFileError error = MenuFileError::None;
  int line = 0;  // 1-based line of the first error
  MenuFileContent content;
  bool ok() const { return error == MenuFileError::None; }
};

// The file's bytes: ASCII, CR LF after every line.
QByteArray menu_file_text(const MenuFileContent& content);

// Reads a whole file before anything is used: a UTF-8 byte-order mark and LF
// or CR LF line ends are accepted, blank lines skipped, registers outside
// 0..200 ignored. `model_line`: an inverter's model-type line follows the
// family word.
MenuFileParse parse_menu_file(const QByteArray& bytes, const QString& family, bool model_line);

// True when the file lists exactly these registers (in any order).
bool lists_exactly(const MenuFileContent& content, const std::vector<int>& registers);

// Writes to a temporary name and renames it over the target, so a failure
// never leaves a half-written file in place of a good one.
bool write_file_atomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Reads a whole file; false (and nothing read) when it cannot be opened.
bool read_whole_file(const QString& path, QByteArray* bytes, qint64 max_size = 1 << 20);

// The menu editors' record files: the success and failure logs, UTF-8, written
// beside the file the user chose. False when either could not be written.
bool save_record_files(const QString& chosen_path, const QString& success_name, const QString& success_text,
                       const QString& failure_name, const QString& failure_text);

}  // namespace velmo
