#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "link/port_enumerator.h"
#include "link/private_folder.h"
#include "support/pty_peer.h"

namespace velmo {
namespace {

void write_file(const QString& path, const QByteArray& text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

// /sys/class/tty as the kernel shows it: one folder per tty, `device` for
// real hardware, `type` holding the UART type of serial-core ports.
void add_tty(const QString& root, const QString& name, bool device, const char* uart_type = nullptr) {
  ASSERT_TRUE(QDir(root).mkpath(name));
  if (device) {
    ASSERT_TRUE(QDir(root).mkpath(name + QStringLiteral("/device")));
  }
  if (uart_type) write_file(root + u'/' + name + QStringLiteral("/type"), uart_type);
}

TEST(NaturalOrder, DigitRunsCompareByValue) {
  QStringList names{"ttyS10", "ttyUSB0", "ttyS2", "ttyACM1", "ttyS02", "tty", "ttyS1"};
  std::sort(names.begin(), names.end(), natural_less);
  EXPECT_EQ(names, (QStringList{"tty", "ttyACM1", "ttyS1", "ttyS02", "ttyS2", "ttyS10", "ttyUSB0"}));
}

TEST(PortEnumerator, ListsDevicesAndVirtualLinesFromAFakeTree) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QString sys = tmp.filePath(QStringLiteral("sys"));
  add_tty(sys, QStringLiteral("ttyS10"), true, "4\n");
  add_tty(sys, QStringLiteral("ttyS2"), true, "4\n");
  add_tty(sys, QStringLiteral("ttyS1"), true, "0\n");  // reserved, no UART
  add_tty(sys, QStringLiteral("ttyS3"), true);         // no type to read
  add_tty(sys, QStringLiteral("ttyUSB0"), true);
  add_tty(sys, QStringLiteral("ttyACM0"), true);
  add_tty(sys, QStringLiteral("tty0"), false);  // virtual console
  add_tty(sys, QStringLiteral("ptmx"), false);

  testing::Pty pty{false};
  ASSERT_TRUE(pty.ok());
  const QString virt = tmp.filePath(QStringLiteral("virtual"));
  ASSERT_TRUE(QDir().mkpath(virt));
  ASSERT_TRUE(QFile::link(pty.slave(), virt + QStringLiteral("/line10")));
  ASSERT_TRUE(QFile::link(pty.slave(), virt + QStringLiteral("/line2")));
  ASSERT_TRUE(QFile::link(tmp.filePath(QStringLiteral("gone")), virt + QStringLiteral("/dangling")));
  write_file(tmp.filePath(QStringLiteral("plain")), "x");
  ASSERT_TRUE(QFile::link(tmp.filePath(QStringLiteral("plain")), virt + QStringLiteral("/to-file")));
  write_file(virt + QStringLiteral("/not-a-link"), "x");

  const QStringList ports = enumerate_serial_ports(sys, QStringLiteral("/dev"), {virt, tmp.filePath("absent")});
  EXPECT_EQ(ports, (QStringList{"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", virt + "/line2",
                                virt + "/line10"}));
}

TEST(PortEnumerator, AVirtualLineIsShownByItsNameADeviceByItsPath) {
  const QString virt = QStringLiteral("/run/user/1000/velmo-ports");
  EXPECT_EQ(port_label(virt + "/velmo-sim", {virt}), "velmo-sim");
  EXPECT_EQ(port_label(virt + "/bench-2", {"/elsewhere", virt}), "bench-2");
  EXPECT_EQ(port_label("/dev/ttyUSB0", {virt}), "/dev/ttyUSB0");
  EXPECT_EQ(port_label("/tmp/other/line", {virt}), "/tmp/other/line");
}

TEST(PortEnumerator, MissingRootsGiveAnEmptyList) {
  EXPECT_TRUE(enumerate_serial_ports(QStringLiteral("/nonexistent/sys"), QStringLiteral("/dev"), {}).isEmpty());
}

TEST(VirtualPortDir, CreatedPrivateAndOnlyTrustedWhenOwned) {
  QTemporaryDir tmp;
  const QString dir = tmp.filePath(QStringLiteral("velmo-ports"));
  EXPECT_EQ(ensure_virtual_port_dir(dir), dir);
  struct stat info;
  ASSERT_EQ(stat(QFile::encodeName(dir).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(ensure_virtual_port_dir(dir), dir) << "an existing folder is fine";

  const QString swapped = tmp.filePath(QStringLiteral("swapped"));
  ASSERT_TRUE(QFile::link(dir, swapped));
  EXPECT_EQ(ensure_virtual_port_dir(swapped), QString()) << "a symlink in its place is not trusted";
  const QString open = tmp.filePath(QStringLiteral("open"));
  ASSERT_EQ(mkdir(QFile::encodeName(open).constData(), 0755), 0);
  ASSERT_EQ(chmod(QFile::encodeName(open).constData(), 0755), 0);
  EXPECT_EQ(ensure_virtual_port_dir(open), QString()) << "a folder others may write into is not trusted";

  EXPECT_FALSE(virtual_port_dir().isEmpty());
  EXPECT_EQ(default_virtual_port_dirs(), QStringList{virtual_port_dir()});
}

// Without a session's runtime folder the process gets a private one, and a
// runtime folder the session gives is kept.
TEST(RuntimeFolder, GivenWhenTheSessionHasNone) {
  const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
  qunsetenv("XDG_RUNTIME_DIR");
  provide_runtime_folder();
  const QString given = qEnvironmentVariable("XDG_RUNTIME_DIR");
  ASSERT_FALSE(given.isEmpty());
  EXPECT_EQ(ensure_private_folder(given), given);
  qputenv("XDG_RUNTIME_DIR", "/somewhere/given");
  provide_runtime_folder();
  EXPECT_EQ(qgetenv("XDG_RUNTIME_DIR"), "/somewhere/given");
  if (before.isEmpty()) qunsetenv("XDG_RUNTIME_DIR");
  else qputenv("XDG_RUNTIME_DIR", before);
}

}  // namespace
}  // namespace velmo
