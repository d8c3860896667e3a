// The analyses as the window runs them on its buffers (spectrum against a
// frequency axis, lamps, read-outs, the at-rest regression, jitter), and
// tests that cannot be judged: no lamp, no result, a failure for the caller.
#include <QComboBox>
#include <QSlider>

#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include <qcustomplot.h>

#include "tuning/tuning_chart.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

using tuning::TuningChart;

class AnalysisWindowTest : public GainTuningTest {
 protected:
  void SetUp() override {
    GainTuningTest::SetUp();
    use(2);
  }
  TuningChart* chart() { return window->chart(); }
  // The value of the mark on the shown curve whose text starts with prefix.
  std::optional<double> mark(const QString& prefix) {
    QCustomPlot* plot = chart()->plot();
    for (int i = 0; i < plot->itemCount(); ++i)
      if (auto* t = qobject_cast<QCPItemText*>(plot->item(i)); t && t->visible() && t->text().startsWith(prefix))
        return t->text().mid(prefix.size()).section(QLatin1Char(' '), 0, 0).toDouble();
    return std::nullopt;
  }
  // Dither of about one count, the same every run.
  static int32_t dither(size_t n) {
    static const std::vector<int32_t> noise = [] {
      std::mt19937 gen(7);
      std::uniform_int_distribution<int32_t> count(-1, 1);
      std::vector<int32_t> v(4096);
      for (int32_t& x : v) x = count(gen);
      return v;
    }();
    return noise[n % noise.size()];
  }
};

TEST_F(AnalysisWindowTest, ResonanceFoundWithinOneBinAndPlottedInHertz) {
  tuning::TuningState& st = tstate();
  const double hz = 450.0;
  for (size_t n = 0; n < 4096; ++n)
    st.analysis_buffer[n] = 30 + static_cast<int32_t>(std::lround(6 * std::sin(2 * std::numbers::pi * hz * n / 5000))) +
                            dither(n);
  control<QComboBox>(form, "ComboBox1")->setCurrentText(QStringLiteral("4096"));
  st.sample_rate_hz = 5000;
  st.endvib_mode = 0;
  window->Button2Click();
  EXPECT_EQ(st.resonance_found, 1);
  EXPECT_NEAR(st.resonance_freq, hz, 5000.0 / 4096);
  EXPECT_EQ(edit("Edit44")->text(), QString::number(st.resonance_freq));
  EXPECT_TRUE(chart()->lamp(TuningChart::LampResonance));
  EXPECT_EQ(last("Memo3"), QStringLiteral("节点2：发现系统共振频率！！"));
  ASSERT_EQ(chart()->point_count(TuningChart::Resonance), 2048);
  EXPECT_DOUBLE_EQ(chart()->x_at(TuningChart::Resonance, 369), 369 * 5000.0 / 4096);
  const int average = control<QSlider>(form, "TrackBar11")->value();
  EXPECT_LT(average, -20);
  EXPECT_EQ(control<QSlider>(form, "TrackBar10")->value(), average + 30);
  EXPECT_EQ(control<QSlider>(form, "TrackBar11")->toolTip(), QStringLiteral("%1db").arg(average));
  // The spectrum shows what it was judged by: 30 dB over its average, and the frequency found.
  chart()->show_curve(TuningChart::Resonance);
  ASSERT_TRUE(mark(QStringLiteral("阈值 ")));
  EXPECT_NEAR(*mark(QStringLiteral("阈值 ")), average + 30, 0.5);
  ASSERT_TRUE(mark(QStringLiteral("检测到 ")));
  EXPECT_NEAR(*mark(QStringLiteral("检测到 ")), hz, 5000.0 / 4096);

  // Flat speed with dither only: nothing found, the lamp goes out.
  for (size_t n = 0; n < 4096; ++n) st.analysis_buffer[n] = 30 + dither(n);
  window->Button2Click();
  EXPECT_EQ(st.resonance_found, 0);
  EXPECT_EQ(st.resonance_freq, 0);
  EXPECT_TRUE(edit("Edit44")->text().isEmpty());
  EXPECT_FALSE(chart()->lamp(TuningChart::LampResonance));
  EXPECT_TRUE(mark(QStringLiteral("阈值 ")));
  EXPECT_FALSE(mark(QStringLiteral("检测到 ")));
}

TEST_F(AnalysisWindowTest, AMotorAtRestShowsNoEndVibration) {
  tuning::TuningState& st = tstate();
  // An encoder toggling by one count every other sample: every bin between
  // 0 and the highest is exactly empty.
  for (size_t n = 0; n < 1024; ++n) st.endvib_buffer[n] = 131000 + static_cast<int32_t>(n % 2);
  control<QComboBox>(form, "ComboBox1")->setCurrentText(QStringLiteral("1024"));
  st.sample_rate_hz = 500;
  st.endvib_mode = 1;
  st.endvib_found = 1;
  window->Button2Click();
  EXPECT_EQ(st.endvib_found, 0);
  EXPECT_EQ(st.endvib_freq_x10, 0);
  EXPECT_TRUE(edit("Edit45")->text().isEmpty());
  EXPECT_FALSE(chart()->lamp(TuningChart::LampEndVibration));

  // A 15 Hz ring after the move is found and shown with one decimal.
  for (size_t n = 0; n < 1024; ++n)
    st.endvib_buffer[n] = 131000 + static_cast<int32_t>(std::lround(
                                       40 * std::exp(-double(n) / 400) * std::sin(2 * std::numbers::pi * 15 * n / 500))) +
                          dither(n);
  window->Button2Click();
  EXPECT_EQ(st.endvib_found, 1);
  EXPECT_NEAR(st.endvib_freq_x10, 150, 5);
  EXPECT_EQ(edit("Edit45")->text(), QStringLiteral("%1.%2").arg(st.endvib_freq_x10 / 10).arg(st.endvib_freq_x10 % 10));
  EXPECT_TRUE(chart()->lamp(TuningChart::LampEndVibration));
  EXPECT_DOUBLE_EQ(chart()->x_at(TuningChart::EndVibration, 41), 41 * 500.0 / 1024);
}

TEST_F(AnalysisWindowTest, JitterLightsItsLampAndLogs) {
  tuning::TuningState& st = tstate();
  control<QComboBox>(form, "ComboBox1")->setCurrentText(QStringLiteral("1024"));
  for (size_t n = 0; n < 1024; ++n) st.analysis_buffer[n] = n % 2 ? 100 : 0;
  st.resonance_found = 1;
  window->qxbdfenxi();
  EXPECT_EQ(st.jitter_found, 1);
  EXPECT_EQ(st.resonance_found, 0);
  EXPECT_TRUE(chart()->lamp(TuningChart::LampJitter));
  EXPECT_EQ(last("Memo3"), QStringLiteral("节点2：位置抖动"));
  for (size_t n = 0; n < 1024; ++n) st.analysis_buffer[n] = 30;
  window->qxbdfenxi();
  EXPECT_EQ(st.jitter_found, 0);
  EXPECT_FALSE(chart()->lamp(TuningChart::LampJitter));
}

TEST_F(AnalysisWindowTest, AResponseTestWithoutItsTorqueShowsNoResult) {
  rig.servo(2).set_reg(181, 6001);
  window->Button23Click();
  edit("Edit68")->setText(QStringLiteral("500"));
  for (auto lamp : {TuningChart::LampTorque, TuningChart::LampOvershoot, TuningChart::LampResponse, TuningChart::LampPeaks})
    chart()->set_lamp(lamp, true);
  rig.st().comm_error = 0;
  rig.sim.inject(2, testing::fault(sim::Fault::Silent, 0x2007, 100));
  QTest::mouseClick(control<QPushButton>(form, "Button18"), Qt::LeftButton);
  EXPECT_FALSE(window->response_valid());
  for (auto lamp : {TuningChart::LampTorque, TuningChart::LampOvershoot, TuningChart::LampResponse, TuningChart::LampPeaks})
    EXPECT_FALSE(chart()->lamp(lamp)) << lamp;
  EXPECT_TRUE(edit("Edit6")->text().isEmpty());
  EXPECT_EQ(tstate().response_met, 0);
  EXPECT_EQ(rig.st().comm_error, 1);
  EXPECT_TRUE(last("Memo4").startsWith(QStringLiteral("节点2：位置响应测试失败")));
}

TEST_F(AnalysisWindowTest, AnEstimationWithoutItsTorquesWritesNoRatio) {
  rig.servo(2).set_reg(181, 6001);
  window->Button23Click();
  rig.servo(2).set_reg(52, 30);
  rig.sim.inject(2, testing::fault(sim::Fault::Silent, 0x2007, 100));
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button24"), Qt::LeftButton);
  for (const testing::Frame& f : rig.writes(2)) EXPECT_NE(f.start, 52);
  EXPECT_EQ(rig.servo(2).reg(52), 30);
  EXPECT_EQ(tstate().tuning_stage[0], 0);
  EXPECT_TRUE(edit("Edit54")->text().isEmpty());
  EXPECT_TRUE(testing::memo_lines(form, "Memo3").join(QString()).contains(QStringLiteral("终止负载惯量推定")));
  EXPECT_FALSE(control<QPushButton>(form, "Button38")->isEnabled());
}

}  // namespace
}  // namespace velmo
