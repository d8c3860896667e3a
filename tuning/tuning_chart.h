#pragma once
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include <QString>

class QCheckBox;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCPItemTracer;
class QCustomPlot;
class QLabel;

namespace velmo {
class StatusLamp;
}

namespace velmo::tuning {

// The curve page: Chart1 with its nine series (one shown at a time through
// the curve check boxes), the pointer read-out and the seven result lamps.
// On a spectrum the read-out takes the highest point within a few pixels of
// the pointer (a pixel spans several bins) and marks it on the curve; the
// detection's threshold and the frequency it found are marked too.
class TuningChart : public QWidget {
  Q_OBJECT
 public:
  enum Series { Position = 1, Positioning, Speed, Evaluation, Resonance, Acceleration, Unused, Positioning2, EndVibration };
  enum Lamp { LampResonance, LampEndVibration, LampJitter, LampOvershoot, LampTorque, LampPeaks, LampResponse };

  explicit TuningChart(QWidget* parent = nullptr);

  void clear(Series s);
  void clear_capture_series();  // what a capture fills
  // Every series with its marks, and every lamp off: nothing measured shown.
  void clear_results();
  void append(Series s, std::span<const int32_t> values, int first_x = 0);
  void append(Series s, std::span<const double> values, int first_x = 0);
  // Replaces the series by points at the given x values (a spectrum in Hz);
  // its marks go with the old points.
  void set_points(Series s, std::span<const double> x, std::span<const double> y);
  // What the detection judged a spectrum by: its threshold in dB and the
  // frequency it found (none when nothing rose above the threshold).
  void set_spectrum_marks(Series s, double threshold_db, std::optional<double> found_hz);
  // The point the read-out shows, marked on the curve (spectra only).
  const QCPItemTracer* pick_marker() const { return pick_; }
  double x_at(Series s, int index) const;
  int point_count(Series s) const;
  double y_at(Series s, int index) const;
  // The time between two points of a time series (5 kHz recording: 0.2 ms);
  // an empty y title keeps the series' own.
  void set_time_step(Series s, double ms_per_point, const QString& y_title = {});
  double time_step(Series s) const { return ms_per_point_[static_cast<size_t>(s) - 1]; }
  // Checks a curve box the way the user does: shows its series alone.
  void show_curve(Series s);
  int shown() const { return shown_; }  // 0 when none
  void set_lamp(Lamp lamp, bool lit);
  bool lamp(Lamp lamp) const;
  QCustomPlot* plot() const { return plot_; }

  // chart_mode as the check boxes set it (1..6; the second positioning curve
  // and the end-vibration curve leave it).
  int chart_mode() const { return chart_mode_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QCPGraph* graph(Series s) const { return graphs_[static_cast<size_t>(s) - 1]; }
  void box_toggled(int row, bool on);
  void rescale();
  void pointer_at(int x_pixel);
  // The read-out for the point nearest the pointer's x value on the shown
  // curve (the highest one near it on a spectrum); empty when there is none.
  void refresh_readout();
  void place_marks();  // the shown spectrum's marks, in its y range
  void set_axis_titles();

  QCustomPlot* plot_ = nullptr;
  std::array<QCPGraph*, 9> graphs_{};
  std::array<QCheckBox*, 8> boxes_{};
  std::array<StatusLamp*, 7> lamps_{};
  QLabel* unit_ = nullptr;
  std::array<QLabel*, 3> readout_{};
  std::array<double, 9> ms_per_point_{};
  std::array<QString, 9> y_titles_{};
  struct SpectrumMarks {
    std::optional<double> threshold_db;
    std::optional<double> found_hz;
  };
  std::array<SpectrumMarks, 9> marks_{};
  QCPItemTracer* pick_ = nullptr;
  QCPItemStraightLine* threshold_line_ = nullptr;
  QCPItemStraightLine* found_line_ = nullptr;
  QCPItemText* threshold_text_ = nullptr;
  QCPItemText* found_text_ = nullptr;
  int pointer_x_ = -1;  // the pointer's last pixel over the plot
  int shown_ = 0;
  int chart_mode_ = 0;
};

}  // namespace velmo::tuning
