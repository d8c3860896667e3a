#include <QApplication>
#include <QTimer>

#include "link/event_loop.h"
#include "link/private_folder.h"
#include "main/main_window.h"
#include "main/qt_translations.h"
#include "main/screenshots.h"
#include "main/signal_close.h"
#include "main/smoke_search.h"
#include "main/velmo_app.h"

int main(int argc, char** argv) {
  velmo::provide_runtime_folder();
  velmo::use_qt_event_loop();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmo 1.0.0.10"));
  QApplication::setApplicationDisplayName(QStringLiteral("Velmo 1.0.0.10"));
  QApplication::setApplicationVersion(QStringLiteral("1.0.0.10"));
  // Closing the main window ends the program, whatever else is shown.
  QApplication::setQuitOnLastWindowClosed(false);
  velmo::install_qt_translations(&app);

  velmo::VelmoApp velmo;
  QObject::connect(&velmo.main_window(), &velmo::MainWindow::closed, &app, [] { QCoreApplication::exit(0); });
  // Logout, shutdown and a terminal's Ctrl+C close the program as its close box does.
  velmo::SignalClose close_on_signal([&velmo] { velmo.main_window().close_on_signal(); });
  // VELMO_PORT=PATH: that line is chosen in 串行端口 (scripts/run.sh gives
  // the simulated line it started).
  const QString start_port = qEnvironmentVariable("VELMO_PORT");
  if (!start_port.isEmpty()) velmo.main_window().choose_port(start_port);
  velmo.main_window().show();

  // VELMO_SMOKE_SEARCH=PORT: search that line once, print what was found, exit.
  const QString smoke_port = qEnvironmentVariable("VELMO_SMOKE_SEARCH");
  if (!smoke_port.isEmpty())
    QTimer::singleShot(0, &velmo.main_window(), [&] { QCoreApplication::exit(velmo::smoke_search(velmo, smoke_port)); });
  // VELMO_SCREENSHOTS=DIR with VELMO_SCREENSHOT_PORT=PORT: search that line,
  // save pictures of the windows in DIR, exit (scripts/screenshots.sh).
  const QString shots = qEnvironmentVariable("VELMO_SCREENSHOTS");
  const QString shot_port = qEnvironmentVariable("VELMO_SCREENSHOT_PORT");
  if (!shots.isEmpty() && !shot_port.isEmpty())
    QTimer::singleShot(0, &velmo.main_window(),
                       [&] { QCoreApplication::exit(velmo::take_screenshots(velmo, shot_port, shots)); });
  return QApplication::exec();
}
