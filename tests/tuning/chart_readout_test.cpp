// The curve page's chart: the pointer read-out finds the point nearest the
// pointer by its x value (on a spectrum the highest one a few pixels either
// side, marked on the curve), follows a curve switch and stays off the plot;
// a spectrum shows the detection's threshold and the frequency found; every
// curve has its axes titled with quantity and unit.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include <qcustomplot.h>

#include "tuning/tuning_chart.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace velmo {
namespace {

using tuning::TuningChart;

struct ChartReadoutTest : ::testing::Test {
  TuningChart chart;
  void SetUp() override {
    chart.resize(1200, 650);
    chart.show();
    QApplication::processEvents();
  }
  QString label(const char* name) { return chart.findChild<QLabel*>(QString::fromLatin1(name))->text(); }
  // The pointer over the plot at the pixel of x value `x` of the curve shown.
  void point_at(double x, int pixels_off = 0) {
    chart.plot()->replot();
    const QPointF pos(std::round(chart.plot()->xAxis->coordToPixel(x)) + pixels_off, chart.plot()->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, pos, chart.plot()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(chart.plot(), &move);
  }
  // The texts of the marks shown on the plot.
  QStringList mark_texts() {
    QStringList out;
    for (int i = 0; i < chart.plot()->itemCount(); ++i)
      if (auto* t = qobject_cast<QCPItemText*>(chart.plot()->item(i)); t && t->visible()) out << t->text();
    return out;
  }
};

// A spectrum in bins of 5000/4096 Hz with its peak of -74 dB in the bin at
// 14.65 Hz; every other bin lies at -96 dB (128 bins, so that a pixel is
// finer than a bin). The read-out under 14.65 Hz
// must show the peak (reading the Hz value as a bin number gave bin 15, at
// 18.3 Hz, and -96).
TEST_F(ChartReadoutTest, ASpectrumIsReadAtThePointerFrequency) {
  std::vector<double> hz(128), db(128, -96.0);
  for (size_t i = 0; i < hz.size(); ++i) hz[i] = i * 5000.0 / 4096;
  db[12] = -74.0;
  chart.set_points(TuningChart::Resonance, hz, db);
  chart.show_curve(TuningChart::Resonance);

  point_at(14.65);
  EXPECT_EQ(label("LabelY"), QStringLiteral("Y: -74"));
  EXPECT_EQ(label("LabelX"), QStringLiteral("X: 14.6 Hz"));
  EXPECT_EQ(label("LabelCount"), QStringLiteral("点数: 128"));
  // Far from the peak: the bins there.
  point_at(40);
  EXPECT_EQ(label("LabelY"), QStringLiteral("Y: -96"));
}

// A resonance spectrum as the detection draws it: 2048 bins of 5000/4096 Hz,
// two to three to a pixel, and one narrow peak of -15 dB at 449.2 Hz among
// bins at -45 dB. Every pixel within a few of the peak reads the peak, and
// the read point is marked on the curve; the threshold and the frequency
// found are marked with their values.
TEST_F(ChartReadoutTest, APointerAPixelOffANarrowPeakReadsThePeakAndMarksIt) {
  std::vector<double> hz(2048), db(2048, -45.0);
  for (size_t i = 0; i < hz.size(); ++i) hz[i] = i * 5000.0 / 4096;
  db[368] = -15.0;  // 449.2 Hz
  chart.set_points(TuningChart::Resonance, hz, db);
  chart.set_spectrum_marks(TuningChart::Resonance, -30.0, 449.2);
  chart.show_curve(TuningChart::Resonance);
  ASSERT_GE(2048 / chart.plot()->axisRect()->width(), 2) << "a pixel spans several bins";
  for (int off : {-3, -2, -1, 0, 1, 2, 3}) {
    SCOPED_TRACE(off);
    point_at(hz[368], off);
    EXPECT_EQ(label("LabelX"), QStringLiteral("X: 449.2 Hz"));
    EXPECT_EQ(label("LabelY"), QStringLiteral("Y: -15"));
    ASSERT_TRUE(chart.pick_marker()->visible());
    EXPECT_DOUBLE_EQ(chart.pick_marker()->graphKey(), hz[368]);
  }
  // Well away from it, the bins there.
  point_at(hz[368], 30);
  EXPECT_EQ(label("LabelY"), QStringLiteral("Y: -45"));
  EXPECT_TRUE(mark_texts().contains(QStringLiteral("阈值 -30.0 dB")));
  EXPECT_TRUE(mark_texts().contains(QStringLiteral("检测到 449.2 Hz")));
  EXPECT_TRUE(chart.plot()->yAxis->range().contains(-30.0));

  // A threshold above every bin is still in sight; no frequency found, none marked.
  chart.set_spectrum_marks(TuningChart::Resonance, -5.0, std::nullopt);
  EXPECT_EQ(mark_texts(), QStringList{QStringLiteral("阈值 -5.0 dB")});
  EXPECT_TRUE(chart.plot()->yAxis->range().contains(-5.0));
  // New points bring no old marks with them.
  chart.set_points(TuningChart::Resonance, hz, db);
  EXPECT_TRUE(mark_texts().isEmpty());
}

// Time curves keep the nearest point: a one-point spike is read only at its own pixel.
TEST_F(ChartReadoutTest, ATimeCurveReadsTheNearestPointAndMarksNothing) {
  std::vector<int32_t> position(400, 10);
  position[200] = 900;
  chart.append(TuningChart::Position, position);
  chart.set_spectrum_marks(TuningChart::Resonance, -30.0, 449.2);
  chart.show_curve(TuningChart::Position);
  point_at(200);
  EXPECT_EQ(label("LabelY"), QStringLiteral("Y: 900"));
  point_at(200, 3);
  EXPECT_EQ(label("LabelY"), QStringLiteral("Y: 10"));
  EXPECT_FALSE(chart.pick_marker()->visible());
  EXPECT_TRUE(mark_texts().isEmpty());
}

TEST_F(ChartReadoutTest, TimeCurvesReadInMillisecondsAndASwitchRefreshesTheReadOut) {
  // 100 ms of the 5 kHz recording: point 250 lies at 50 ms.
  std::vector<int32_t> position(500);
  for (size_t i = 0; i < position.size(); ++i) position[i] = static_cast<int32_t>(i * 3);
  chart.append(TuningChart::Position, position);
  chart.show_curve(TuningChart::Position);
  point_at(250);
  EXPECT_EQ(label("LabelX"), QStringLiteral("X: 50.0 ms"));
  EXPECT_EQ(label("LabelY"), QStringLiteral("Y: 750"));

  // Speed points 16 samples (3.2 ms) apart, all at 1234 rpm: the switch
  // alone brings the speed curve's values into the read-out.
  chart.set_time_step(TuningChart::Speed, 3.2);
  chart.append(TuningChart::Speed, std::vector<int32_t>(300, 1234));
  chart.show_curve(TuningChart::Speed);
  EXPECT_EQ(label("LabelY"), QStringLiteral("Y: 1234"));
  EXPECT_EQ(label("LabelCount"), QStringLiteral("点数: 300"));
  point_at(10);
  EXPECT_EQ(label("LabelX"), QStringLiteral("X: 32.0 ms"));

  // An empty curve leaves nothing from the one before.
  chart.show_curve(TuningChart::Acceleration);
  EXPECT_TRUE(label("LabelX").isEmpty());
  EXPECT_TRUE(label("LabelY").isEmpty());
}

TEST_F(ChartReadoutTest, AxesCarryQuantityAndUnitAndTheReadOutIsOffThePlot) {
  struct Case {
    TuningChart::Series series;
    const char* x_title;
    const char* y_title;
    const char* unit;
  } cases[] = {
      {TuningChart::Position, "时间 (ms)", "位置 (counts)", ""},
      {TuningChart::Speed, "时间 (ms)", "速度 (rpm)", "rpm"},
      {TuningChart::Acceleration, "时间 (ms)", "加速度 (rad/s²)", "rad/s²"},
      {TuningChart::Resonance, "频率 (Hz)", "幅值 (dB)", "dB"},
      {TuningChart::EndVibration, "频率 (Hz)", "幅值 (dB)", "dB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y_title);
    chart.show_curve(c.series);
    EXPECT_EQ(chart.plot()->xAxis->label(), QString::fromUtf8(c.x_title));
    EXPECT_EQ(chart.plot()->yAxis->label(), QString::fromUtf8(c.y_title));
    EXPECT_EQ(label("Label22"), QString::fromUtf8(c.unit));
  }
  for (const char* name : {"LabelX", "LabelCount", "LabelY"}) {
    auto* l = chart.findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_EQ(l->parentWidget(), &chart) << name;
    EXPECT_FALSE(l->geometry().intersects(chart.plot()->geometry())) << name;
  }
}

}  // namespace
}  // namespace velmo
