#include "tuning/tuning_chart.h"

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>

#include <cmath>
#include <qcustomplot.h>

#include "common/status_lamp.h"

namespace velmo::tuning {

namespace {
struct CurveBox {
  const char* name;
  const char* text;
  TuningChart::Series series;
  int chart_mode;  // 0: leaves chart_mode
  const char* unit;
  bool visible;
};
constexpr CurveBox kBoxes[] = {
    {"CheckBox1", "位置", TuningChart::Position, 1, "", true},
    {"CheckBox3", "定位", TuningChart::Positioning, 2, "", true},
    {"CheckBox2", "速度", TuningChart::Speed, 3, "rpm", true},
    {"CheckBox5", "动作评价", TuningChart::Evaluation, 4, "", true},
    {"CheckBox4", "机械共振", TuningChart::Resonance, 5, "db", true},
    {"CheckBox6", "加速度", TuningChart::Acceleration, 6, "rad/s2", true},
    {"CheckBox7", "定位曲线2", TuningChart::Positioning2, 0, "", false},
    {"CheckBox8", "末端振动", TuningChart::EndVibration, 0, "db", true},
};
// Series colours, Series1..Series9 (Series7 is not used).
const QColor kColours[9] = {Qt::blue, Qt::blue, Qt::blue, Qt::blue, Qt::blue, Qt::red, Qt::green, QColor(128, 0, 0), Qt::red};

struct LampRow {
  const char* name;
  const char* text;
};
constexpr LampRow kLamps[] = {{"Shape6", "机械共振"}, {"Shape7", "末端振动"}, {"Shape8", "位置抖动"},
                              {"Shape9", "定位过冲"}, {"Shape10", "转矩超限"}, {"Shape11", "波峰波谷"},
                              {"Shape12", "响应到达"}};
}  // namespace

TuningChart::TuningChart(QWidget* parent) : QWidget(parent) {
  plot_ = new QCustomPlot(this);
  plot_->setObjectName(QStringLiteral("Chart1"));
  plot_->setGeometry(10, 50, 1000, 560);
  plot_->legend->setVisible(false);
  for (size_t i = 0; i < graphs_.size(); ++i) {
    QCPGraph* g = plot_->addGraph();
    g->setName(QStringLiteral("Series%1").arg(i + 1));
    g->setPen(QPen(kColours[i], 1.5));
    g->setVisible(false);
    graphs_[i] = g;
  }
  plot_->installEventFilter(this);
  plot_->setMouseTracking(true);

  for (size_t i = 0; i < std::size(kLamps); ++i) {
    auto* lamp = new StatusLamp(kLamps[i].name, this);
    lamp->setGeometry(10 + 140 * static_cast<int>(i), 12, 24, 24);
    auto* label = new QLabel(QString::fromUtf8(kLamps[i].text), this);
    label->setGeometry(38 + 140 * static_cast<int>(i), 12, 100, 24);
    lamps_[i] = lamp;
  }

  int row = 0;
  for (size_t i = 0; i < std::size(kBoxes); ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(kBoxes[i].text), this);
    box->setObjectName(QString::fromLatin1(kBoxes[i].name));
    box->setGeometry(1030, 60 + 40 * row, 120, 30);
    if (kBoxes[i].visible) ++row;
    box->setVisible(kBoxes[i].visible);
    connect(box, &QCheckBox::toggled, this, [this, i](bool on) { box_toggled(static_cast<int>(i), on); });
    boxes_[i] = box;
  }
  unit_ = new QLabel(this);
  unit_->setObjectName(QStringLiteral("Label22"));
  unit_->setGeometry(10, 612, 100, 24);
  const char* readout_names[] = {"LabelX", "LabelCount", "LabelY"};
  for (size_t i = 0; i < readout_.size(); ++i) {
    readout_[i] = new QLabel(plot_);
    readout_[i]->setObjectName(QString::fromLatin1(readout_names[i]));
    readout_[i]->setGeometry(60 + 150 * static_cast<int>(i), 6, 140, 20);
  }
}

void TuningChart::clear(Series s) {
  graph(s)->data()->clear();
  if (shown_ == s) rescale();
}

void TuningChart::clear_capture_series() {
  for (Series s : {Position, Positioning, Speed, Evaluation, Acceleration, Positioning2}) graph(s)->data()->clear();
  rescale();
}

void TuningChart::append(Series s, std::span<const int32_t> values, int first_x) {
  QCPGraph* g = graph(s);
  int x = first_x + g->dataCount();
  for (int32_t v : values) g->addData(x++, v);
  if (shown_ == s) rescale();
}

void TuningChart::append(Series s, std::span<const double> values, int first_x) {
  QCPGraph* g = graph(s);
  int x = first_x + g->dataCount();
  for (double v : values) g->addData(x++, v);
  if (shown_ == s) rescale();
}

void TuningChart::set_points(Series s, std::span<const double> x, std::span<const double> y) {
  QCPGraph* g = graph(s);
  g->data()->clear();
  for (size_t i = 0; i < std::min(x.size(), y.size()); ++i) g->addData(x[i], y[i]);
  if (shown_ == s) rescale();
}

double TuningChart::x_at(Series s, int index) const {
  const auto data = graph(s)->data();
  return index >= 0 && index < data->size() ? (data->begin() + index)->key : 0.0;
}

int TuningChart::point_count(Series s) const { return graph(s)->dataCount(); }

double TuningChart::y_at(Series s, int index) const {
  const auto data = graph(s)->data();
  return index >= 0 && index < data->size() ? (data->begin() + index)->value : 0.0;
}

void TuningChart::show_curve(Series s) {
  for (size_t i = 0; i < std::size(kBoxes); ++i)
    if (kBoxes[i].series == s) boxes_[i]->setChecked(true);
}

void TuningChart::box_toggled(int row, bool on) {
  const CurveBox& b = kBoxes[row];
  if (!on) {
    graph(b.series)->setVisible(false);
    if (shown_ == b.series) shown_ = 0;
    plot_->replot();
    return;
  }
  for (QCPGraph* g : graphs_) g->setVisible(false);
  graph(b.series)->setVisible(true);
  shown_ = b.series;
  if (b.chart_mode) chart_mode_ = b.chart_mode;
  unit_->setText(QString::fromLatin1(b.unit));
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (static_cast<int>(i) == row) continue;
    const QSignalBlocker quiet(boxes_[i]);
    boxes_[i]->setChecked(false);
  }
  rescale();
}

void TuningChart::rescale() {
  if (shown_ > 0) graph(static_cast<Series>(shown_))->rescaleAxes();
  plot_->replot();
}

void TuningChart::set_lamp(Lamp lamp, bool lit) { lamps_[lamp]->set_lit(lit); }
bool TuningChart::lamp(Lamp lamp) const { return lamps_[lamp]->lit(); }

bool TuningChart::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plot_ && event->type() == QEvent::MouseMove)
    pointer_at(static_cast<QMouseEvent*>(event)->position().toPoint().x());
  return QWidget::eventFilter(watched, event);
}

void TuningChart::pointer_at(int x_pixel) {
  if (shown_ == 0) return;
  const Series s = static_cast<Series>(shown_);
  const int count = point_count(s);
  const int index = static_cast<int>(std::lround(plot_->xAxis->pixelToCoord(x_pixel)));
  readout_[0]->setText(QStringLiteral("X: %1").arg(index));
  readout_[1]->setText(QStringLiteral("N: %1").arg(count));
  readout_[2]->setText(QStringLiteral("Y: %1").arg(std::lround(y_at(s, index))));
}

}  // namespace velmo::tuning
