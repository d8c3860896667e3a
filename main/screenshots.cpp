#include "main/screenshots.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QTabWidget>
#include <QTextStream>
#include <QThread>

#include <functional>

#include <qcustomplot.h>

#include "common/form_access.h"
#include "common/velmo_window.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"
#include "main/smoke_search.h"
#include "main/velmo_app.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/tuning_chart.h"

namespace velmo {

namespace {

// Lets the window system show and paint what was just opened.
void settle_screen() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
}

bool save(QWidget* window, const QString& folder, const QString& file) {
  settle_screen();
  const QString path = QDir(folder).filePath(file);
  const bool ok = window->grab().save(path);
  QTextStream(stdout) << (ok ? "saved " : "could not save ") << path << '\n';
  return ok;
}

// The pointer over the plot at the highest point of the curve shown (past
// its first twentieth, where a spectrum's DC part lies), so that the
// read-out has something to say.
void point_at_peak(tuning::TuningChart* chart) {
  const auto s = static_cast<tuning::TuningChart::Series>(chart->shown());
  if (chart->shown() == 0 || chart->point_count(s) == 0) return;
  int best = chart->point_count(s) / 20;
  for (int i = best + 1; i < chart->point_count(s); ++i)
    if (chart->y_at(s, i) > chart->y_at(s, best)) best = i;
  QCustomPlot* plot = chart->plot();
  plot->replot();
  const QPointF pos(plot->xAxis->coordToPixel(chart->x_at(s, best)), plot->height() / 2.0);
  QMouseEvent move(QEvent::MouseMove, pos, plot->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(plot, &move);
}

}  // namespace

int take_screenshots(VelmoApp& app, const QString& port, const QString& folder) {
  if (smoke_search(app, port) != 0) return 1;
  QDir().mkpath(folder);
  MainWindow& main = app.main_window();
  bool ok = true;
  // Menu entries as plain calls: the sanitizers misreport calls made through
  // member-function pointers.
  const std::pair<const char*, std::function<void()>> openers[] = {
      {"TForm9", [&] { main.N8Click(); }}, {"TForm18", [&] { main.N13Click(); }}, {"TForm19", [&] { main.RS4851Click(); }}};
  for (const auto& [name, open] : openers) {
    open();
    auto* window = qobject_cast<VelmoWindow*>(app.form(name));
    ok = save(window, folder, QString::fromLatin1(name) + QStringLiteral(".png")) && ok;
    window->leave();
  }

  // The gain tuning on servo 1: identify the motor, one short stroke for
  // the resonance detection, then the curve page.
  main.N12Click();
  auto* tuning = qobject_cast<GainTuningWindow*>(app.form("TForm3"));
  tuning->Button23Click();
  for (const auto& [field, text] : {std::pair{"Edit8", "1"}, {"Edit67", "1"}, {"Edit68", "500"}})
    control<QLineEdit>(tuning, field)->setText(QString::fromLatin1(text));
  tuning->tuning_state().move_params_changed = 1;
  tuning->Button13Click();
  auto* pages = control<QTabWidget>(tuning, "PageControl1");
  for (int i = 0; i < pages->count(); ++i)
    if (pages->widget(i)->findChild<tuning::TuningChart*>() || qobject_cast<tuning::TuningChart*>(pages->widget(i)))
      pages->setCurrentIndex(i);
  settle_screen();
  point_at_peak(tuning->chart());
  ok = save(tuning, folder, QStringLiteral("TForm3-chart.png")) && ok;
  return ok ? 0 : 1;
}

}  // namespace velmo
