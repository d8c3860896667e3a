// Test programs that need Qt widgets or an event loop share this main().
#include <QApplication>
#include <gtest/gtest.h>

#include "link/event_loop.h"
#include "link/private_folder.h"

int main(int argc, char** argv) {
  velmo::provide_runtime_folder();
  velmo::use_qt_event_loop();
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
