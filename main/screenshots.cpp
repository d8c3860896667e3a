#include "main/screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <functional>

#include <qcustomplot.h>

#include "common/form_access.h"
#include "common/velmo_window.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"
#include "main/smoke_search.h"
#include "main/velmo_app.h"
#include "servo/servo_control_window.h"
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

// Whether a picture of a box shows a box: mostly not near-black, and more
// than one colour.
bool looks_drawn(const QImage& picture) {
  if (picture.isNull()) return false;
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  qint64 dark = 0;
  bool several = false;
  const QRgb first = image.pixel(0, 0);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qGray(p) < 40) ++dark;
      if (p != first) several = true;
    }
  return several && dark * 2 < qint64(image.width()) * image.height();
}

// Runs `open`, which brings up a message box, and once the box is up and
// drawn saves the part of the screen it covers as the X server shows it (a
// widget's own grab would paint the box afresh, whatever the screen shows),
// then answers it. True when a readable box was saved.
bool picture_box(const QString& path, const std::function<void()>& open) {
  int result = -1;
  QTimer look;
  look.setInterval(50);
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    look.stop();
    settle_screen();
    const QRect where = box->frameGeometry();
    const QImage picture =
        box->screen()->grabWindow(0, where.x(), where.y(), where.width(), where.height()).toImage();
    const bool drawn = looks_drawn(picture);
    const bool saved = picture.save(path);
    result = saved && drawn ? 1 : 0;
    QTextStream(stdout) << (saved ? "saved " : "could not save ") << path << (drawn ? "" : " (no readable box)")
                        << '\n';
    box->done(QMessageBox::Ok);
  });
  look.start();
  open();
  look.stop();
  if (result < 0) QTextStream(stdout) << "no box came up for " << path << '\n';
  return result == 1;
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
  tuning->leave();

  // Late in the session: the servo control window's exit guard, after servo
  // 1 has run a while with its status polled, as the screen shows the box.
  main.N6Click();
  auto* servo = qobject_cast<ServoControlWindow*>(app.form("TForm4"));
  const VelmoWindow* window = servo;
  auto* polling = control<QCheckBox>(servo, "CheckBox1");
  servo->RadioButton2Click();
  servo->Button6Click();
  polling->setChecked(true);
  app.link().delay(5000);
  polling->setChecked(false);
  for (int i = 0; i < 100 && window->exit_waits(); ++i) app.link().delay(50);
  // Refused while the drive runs: the box.
  ok = picture_box(QDir(folder).filePath(QStringLiteral("TForm4-exit-guard.png")), [&] { servo->Button1Click(); }) &&
       ok;
  servo->Button8Click();
  for (int i = 0; i < 100 && window->exit_waits(); ++i) app.link().delay(50);
  servo->leave();
  return ok ? 0 : 1;
}

}  // namespace velmo
