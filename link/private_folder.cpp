#include "link/private_folder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velmo {

QString ensure_private_folder(const QString& dir) {
  const QByteArray name = QFile::encodeName(dir);
  if (mkdir(name.constData(), 0700) == 0) chmod(name.constData(), 0700);  // whatever the umask
  else if (errno != EEXIST) return QString();
  struct stat info;
  if (lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
      (info.st_mode & 0077) != 0)
    return QString();
  return dir;
}

void provide_runtime_folder() {
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
  const QString uid = QString::number(getuid());
  const QString session = QStringLiteral("/run/user/") + uid;
  const QString fallback = QDir::tempPath() + QStringLiteral("/runtime-") + uid;
  const QString dir = ensure_private_folder(QDir(session).exists() ? session : fallback);
  if (!dir.isEmpty()) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
}

}  // namespace velmo
