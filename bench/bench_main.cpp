#include <QApplication>
#include <benchmark/benchmark.h>

#include "link/event_loop.h"
#include "link/private_folder.h"

int main(int argc, char** argv) {
  velmo::provide_runtime_folder();
  velmo::use_qt_event_loop();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
