#include "link/port_enumerator.h"

#include "link/private_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace velmo {
namespace {

bool is_ascii_digit(QChar c) { return c >= u'0' && c <= u'9'; }

bool entry_exists(const QString& path) {
  struct stat info;
  return lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Serial-core ports the kernel reserves without hardware report UART type 0.
bool uart_present(const QString& entry) {
  QFile type_file(entry + QStringLiteral("/type"));
  if (!type_file.open(QIODevice::ReadOnly)) return false;
  bool ok = false;
  const int type = QString::fromLatin1(type_file.readAll()).trimmed().toInt(&ok);
  return ok && type != 0;
}

bool points_at_char_device(const QString& path) {
  struct stat link_info;
  struct stat target_info;
  const QByteArray name = QFile::encodeName(path);
  return lstat(name.constData(), &link_info) == 0 && S_ISLNK(link_info.st_mode) &&
         stat(name.constData(), &target_info) == 0 && S_ISCHR(target_info.st_mode);
}

QStringList entry_names(const QString& dir) {
  // QDir::System lists dangling symlinks too; they are weeded out by the callers.
  QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
  std::sort(names.begin(), names.end(), natural_less);
  return names;
}

}  // namespace

QString virtual_port_dir() {
  const QString uid = QString::number(getuid());
  const QString run_dir = QStringLiteral("/run/user/") + uid;
  if (QFileInfo(run_dir).isDir()) return run_dir + QStringLiteral("/velmo-ports");
  return QStringLiteral("/tmp/velmo-ports-") + uid;
}

QStringList default_virtual_port_dirs() { return {virtual_port_dir()}; }

QString ensure_virtual_port_dir(const QString& dir) { return ensure_private_folder(dir); }

QString port_label(const QString& port, const QStringList& virtual_dirs) {
  const QFileInfo info(port);
  return virtual_dirs.contains(info.path()) ? info.fileName() : port;
}

bool natural_less(const QString& a, const QString& b) {
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (is_ascii_digit(a[i]) && is_ascii_digit(b[j])) {
      while (i < a.size() - 1 && a[i] == u'0' && is_ascii_digit(a[i + 1])) ++i;
      while (j < b.size() - 1 && b[j] == u'0' && is_ascii_digit(b[j + 1])) ++j;
      const qsizetype start_a = i;
      const qsizetype start_b = j;
      while (i < a.size() && is_ascii_digit(a[i])) ++i;
      while (j < b.size() && is_ascii_digit(b[j])) ++j;
      const QStringView run_a = QStringView(a).mid(start_a, i - start_a);
      const QStringView run_b = QStringView(b).mid(start_b, j - start_b);
      if (run_a.size() != run_b.size()) return run_a.size() < run_b.size();
      if (run_a != run_b) return run_a < run_b;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
  return a < b;  // equal but for leading zeros
}

QStringList enumerate_serial_ports(const QString& sys_class_tty_root, const QString& dev_root,
                                   const QStringList& virtual_dirs) {
  QStringList ports;
  for (const QString& name : entry_names(sys_class_tty_root)) {
    const QString entry = sys_class_tty_root + u'/' + name;
    if (!entry_exists(entry + QStringLiteral("/device"))) continue;  // virtual consoles, ptys
    if (name.startsWith(QStringLiteral("ttyS")) && !uart_present(entry)) continue;
    ports << dev_root + u'/' + name;
  }
  for (const QString& dir : virtual_dirs) {
    for (const QString& name : entry_names(dir)) {
      const QString link = dir + u'/' + name;
      if (points_at_char_device(link) && !ports.contains(link)) ports << link;
    }
  }
  return ports;
}

}  // namespace velmo
