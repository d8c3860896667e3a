// The program goes on while a dialog of its own is open: timers tick and the
// port's watch delivers inside the dialog's modal loop.
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "link/event_loop.h"
#include "link/serial_port.h"
#include "support/pty_peer.h"

namespace velmo {
namespace {

using testing::Pty;
using testing::with_crc;

TEST(EventLoopChoice, AQtNoGlibTheUserSetIsKept) {
  const bool was_set = qEnvironmentVariableIsSet("QT_NO_GLIB");
  const QByteArray saved = qgetenv("QT_NO_GLIB");
  qputenv("QT_NO_GLIB", "");  // set to nothing: GLib's loop
  use_qt_event_loop();
  EXPECT_TRUE(qEnvironmentVariableIsSet("QT_NO_GLIB"));
  EXPECT_TRUE(qEnvironmentVariableIsEmpty("QT_NO_GLIB"));
  qunsetenv("QT_NO_GLIB");
  use_qt_event_loop();
  EXPECT_EQ(qgetenv("QT_NO_GLIB"), "1");
  if (was_set) {
    qputenv("QT_NO_GLIB", saved);
  } else {
    qunsetenv("QT_NO_GLIB");
  }
}

// Opens the dialog modally and, from inside its loop, lets a peer send a
// reply while the port awaits one; the dialog closes once a 10 ms timer
// ticked five times and the reply came, or after a generous bound.
struct DuringDialog {
  int ticks = 0;
  int chunks = 0;
  bool was_qt_dialog = false;
};

DuringDialog run_beside(QDialog& dialog, Pty& pty, SerialPort& port) {
  DuringDialog seen;
  const std::vector<uint8_t> reply = with_crc({0x01, 0x06, 0x00, 0x10, 0x00, 0x01});
  QMetaObject::Connection delivered =
      QObject::connect(&port, &SerialPort::receiveData, [&](const ReceivedChunk&) { ++seen.chunks; });
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++seen.ticks; });
  bool sent = false;
  QElapsedTimer bound;
  bound.start();
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget() != &dialog) {
      if (bound.elapsed() > 10000) dialog.done(QDialog::Rejected);
      return;
    }
    if (!sent) {
      // Inside the dialog's loop from here on.
      seen.was_qt_dialog = !dialog.findChildren<QWidget*>().isEmpty();
      ticker.start(10);
      port.awaitReply(true);
      sent = pty.write_bytes(reply);
    }
    if ((seen.ticks >= 5 && seen.chunks >= 1) || bound.elapsed() > 10000) dialog.done(QDialog::Rejected);
  });
  driver.start(5);
  dialog.exec();
  port.awaitReply(false);
  QObject::disconnect(delivered);
  return seen;
}

TEST(DialogsKeepTheProgramRunning, TimersAndThePortsWatchGoOnWhileAModalDialogIsOpen) {
  // A native dialog may run another toolkit's loop, where nothing of Qt's runs.
  EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
  if (qEnvironmentVariable("QT_QPA_PLATFORMTHEME") == QStringLiteral("gtk3") &&
      !QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platformthemes/libqgtk3.so")))
    GTEST_SKIP() << "the GTK platform theme is not installed (qt6-gtk-platformtheme)";
  Pty pty;
  ASSERT_TRUE(pty.ok());
  SerialPort port;
  port.CommName = pty.slave();
  port.Outx_XonXoffFlow = false;
  port.Inx_XonXoffFlow = false;
  port.ReadIntervalTimeout = 20;
  port.OpenPort();

  QFileDialog files(nullptr, QStringLiteral("保存记录"));
  files.setAcceptMode(QFileDialog::AcceptSave);
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Velmo"), QStringLiteral("text"), QMessageBox::Ok);
  const std::vector<std::pair<const char*, QDialog*>> dialogs = {{"file dialog", &files}, {"message box", &box}};
  for (const auto& [name, dialog] : dialogs) {
    SCOPED_TRACE(name);
    const DuringDialog seen = run_beside(*dialog, pty, port);
    EXPECT_TRUE(seen.was_qt_dialog) << "Qt's own dialog, in Qt's loop";
    EXPECT_GE(seen.ticks, 5);
    EXPECT_EQ(seen.chunks, 1);
  }
  EXPECT_FALSE(files.findChildren<QAbstractItemView*>().isEmpty()) << "the file dialog's own views, not a native one";
  port.ClosePort();
}

}  // namespace
}  // namespace velmo
