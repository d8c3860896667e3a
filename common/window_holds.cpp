#include "common/window_holds.h"

#include <QApplication>

#include "common/status_line.h"
#include "common/velmo_window.h"

namespace velmo {

std::vector<VelmoWindow*> program_windows(const FormLookup& forms) {
  std::vector<VelmoWindow*> windows;
  if (!forms) return windows;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* window = qobject_cast<VelmoWindow*>(w);
    const QByteArray name = w->objectName().toLatin1();
    // Only this program's own windows (a test may have others about).
    if (window && !name.isEmpty() && forms(name.constData()) == w) windows.push_back(window);
  }
  return windows;
}

VelmoWindow* holder_of(const FormLookup& forms, uint8_t station, const VelmoWindow* except) {
  for (VelmoWindow* w : program_windows(forms))
    if (w != except && w->holds(station)) return w;
  return nullptr;
}

QString station_gone_text(uint8_t station) {
  return node_line(station, QStringLiteral("已不在线上，请重新选择节点！！"));
}

}  // namespace velmo
