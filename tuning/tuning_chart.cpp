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
  bool spectrum;        // x in Hz; else the point's time
  const char* y_title;  // the quantity with its unit
};
constexpr CurveBox kBoxes[] = {
    {"CheckBox1", "位置", TuningChart::Position, 1, "", true, false, "位置 (counts)"},
    {"CheckBox3", "定位", TuningChart::Positioning, 2, "", true, false, "位置 (counts)"},
    {"CheckBox2", "速度", TuningChart::Speed, 3, "rpm", true, false, "速度 (rpm)"},
    {"CheckBox5", "动作评价", TuningChart::Evaluation, 4, "", true, false, "位置变化 (counts/点)"},
    {"CheckBox4", "机械共振", TuningChart::Resonance, 5, "dB", true, true, "幅值 (dB)"},
    {"CheckBox6", "加速度", TuningChart::Acceleration, 6, "rad/s²", true, false, "加速度 (rad/s²)"},
    {"CheckBox7", "定位曲线2", TuningChart::Positioning2, 0, "", false, false, "位置 (counts)"},
    {"CheckBox8", "末端振动", TuningChart::EndVibration, 0, "dB", true, true, "幅值 (dB)"},
};
const CurveBox* box_of(int series) {
  for (const CurveBox& b : kBoxes)
    if (b.series == series) return &b;
  return nullptr;
}
constexpr double kRecordingStepMs = 1000.0 / 5000;  // the 5 kHz recording
// How far either side of the pointer a spectrum's read-out looks for its
// highest point: wider than the two to three bins one pixel spans.
constexpr int kPickPixels = 4;
const QColor kThresholdColour(210, 105, 0), kFoundColour(0, 128, 0), kPickColour(Qt::red);

// Ticks of a time axis whose keys are point numbers: steps that are round in
// ms, labelled in ms.
class TimeTicker : public QCPAxisTicker {
 public:
  double ms_per_point = kRecordingStepMs;

 protected:
  double getTickStep(const QCPRange& range) override {
    const double k = ms_per_point;
    return QCPAxisTicker::getTickStep(QCPRange(range.lower * k, range.upper * k)) / k;
  }
  QString getTickLabel(double tick, const QLocale& locale, QChar format, int precision) override {
    return QCPAxisTicker::getTickLabel(std::round(tick * ms_per_point * 1000) / 1000, locale, format, precision);
  }
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
  // The pointer read-out sits under the plot, clear of the curve.
  const char* readout_names[] = {"LabelX", "LabelCount", "LabelY"};
  const int readout_x[] = {120, 330, 480}, readout_w[] = {200, 140, 200};
  for (size_t i = 0; i < readout_.size(); ++i) {
    readout_[i] = new QLabel(this);
    readout_[i]->setObjectName(QString::fromLatin1(readout_names[i]));
    readout_[i]->setGeometry(readout_x[i], 612, readout_w[i], 24);
  }
  pick_ = new QCPItemTracer(plot_);
  pick_->setStyle(QCPItemTracer::tsCircle);
  pick_->setSize(11);
  pick_->setPen(QPen(kPickColour, 2));
  pick_->setInterpolating(false);
  pick_->setVisible(false);
  auto mark_line = [this](const QColor& colour) {
    auto* line = new QCPItemStraightLine(plot_);
    line->setLayer(QStringLiteral("grid"));  // under the curve, which stays readable across it
    line->setPen(QPen(colour, 1.5, Qt::DashLine));
    line->setVisible(false);
    return line;
  };
  auto mark_text = [this](const QColor& colour, Qt::Alignment alignment) {
    auto* text = new QCPItemText(plot_);
    text->setColor(colour);
    text->setBrush(QBrush(QColor(255, 255, 255, 220)));
    text->setPadding(QMargins(3, 1, 3, 1));
    text->setPositionAlignment(alignment);
    text->setVisible(false);
    return text;
  };
  threshold_line_ = mark_line(kThresholdColour);
  found_line_ = mark_line(kFoundColour);
  // The threshold's value at the right end of its line, the frequency's at the top of its.
  threshold_text_ = mark_text(kThresholdColour, Qt::AlignRight | Qt::AlignBottom);
  threshold_text_->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
  found_text_ = mark_text(kFoundColour, Qt::AlignLeft | Qt::AlignTop);
  found_text_->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
  ms_per_point_.fill(kRecordingStepMs);
  for (const CurveBox& b : kBoxes) y_titles_[static_cast<size_t>(b.series) - 1] = QString::fromUtf8(b.y_title);
  plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeTicker));
  set_axis_titles();
}

void TuningChart::set_time_step(Series s, double ms_per_point, const QString& y_title) {
  if (ms_per_point > 0) ms_per_point_[static_cast<size_t>(s) - 1] = ms_per_point;
  if (!y_title.isEmpty()) y_titles_[static_cast<size_t>(s) - 1] = y_title;
  if (shown_ == s) {
    set_axis_titles();
    rescale();
  }
}

void TuningChart::set_axis_titles() {
  const CurveBox* b = box_of(shown_);
  const bool spectrum = b && b->spectrum;
  auto* time = dynamic_cast<TimeTicker*>(plot_->xAxis->ticker().data());
  if (spectrum && time) {
    plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
  } else if (!spectrum && !time) {
    plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeTicker));
  }
  if (auto* t = dynamic_cast<TimeTicker*>(plot_->xAxis->ticker().data()))
    t->ms_per_point = shown_ > 0 ? time_step(static_cast<Series>(shown_)) : kRecordingStepMs;
  plot_->xAxis->setLabel(spectrum ? QStringLiteral("频率 (Hz)") : QStringLiteral("时间 (ms)"));
  plot_->yAxis->setLabel(shown_ > 0 ? y_titles_[static_cast<size_t>(shown_) - 1] : QString());
}

void TuningChart::clear(Series s) {
  graph(s)->data()->clear();
  marks_[static_cast<size_t>(s) - 1] = {};
  if (shown_ == s) rescale();
}

void TuningChart::clear_capture_series() {
  for (Series s : {Position, Positioning, Speed, Evaluation, Acceleration, Positioning2}) graph(s)->data()->clear();
  rescale();
}

void TuningChart::clear_results() {
  for (QCPGraph* g : graphs_) g->data()->clear();
  marks_.fill({});
  for (StatusLamp* lamp : lamps_) lamp->set_lit(false);
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
  marks_[static_cast<size_t>(s) - 1] = {};
  for (size_t i = 0; i < std::min(x.size(), y.size()); ++i) g->addData(x[i], y[i]);
  if (shown_ == s) rescale();
}

void TuningChart::set_spectrum_marks(Series s, double threshold_db, std::optional<double> found_hz) {
  marks_[static_cast<size_t>(s) - 1] = {threshold_db, found_hz};
  if (shown_ == s) rescale();
}

void TuningChart::place_marks() {
  const CurveBox* b = box_of(shown_);
  const SpectrumMarks none;
  const SpectrumMarks& m = b && b->spectrum ? marks_[static_cast<size_t>(shown_) - 1] : none;
  const bool threshold = m.threshold_db.has_value(), found = m.found_hz.has_value();
  for (QCPAbstractItem* item : {static_cast<QCPAbstractItem*>(threshold_line_), static_cast<QCPAbstractItem*>(threshold_text_)})
    item->setVisible(threshold);
  for (QCPAbstractItem* item : {static_cast<QCPAbstractItem*>(found_line_), static_cast<QCPAbstractItem*>(found_text_)})
    item->setVisible(found);
  if (threshold) {
    const double db = *m.threshold_db;
    threshold_line_->point1->setCoords(0, db);
    threshold_line_->point2->setCoords(1, db);
    threshold_text_->position->setCoords(0.99, db);
    threshold_text_->setText(QStringLiteral("阈值 %1 dB").arg(db, 0, 'f', 1));
    // The threshold may lie above every bin: the range shows it with room for its label.
    QCPRange range = plot_->yAxis->range();
    range.expand(db + 0.08 * range.size());
    range.expand(db - 0.02 * range.size());
    plot_->yAxis->setRange(range);
  }
  if (found) {
    const double hz = *m.found_hz;
    found_line_->point1->setCoords(hz, 0);
    found_line_->point2->setCoords(hz, 1);
    found_text_->position->setCoords(hz, 0.01);
    found_text_->setText(QStringLiteral("检测到 %1 Hz").arg(hz, 0, 'f', 1));
  }
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
    set_axis_titles();
    refresh_readout();
    plot_->replot();
    return;
  }
  for (QCPGraph* g : graphs_) g->setVisible(false);
  graph(b.series)->setVisible(true);
  shown_ = b.series;
  if (b.chart_mode) chart_mode_ = b.chart_mode;
  unit_->setText(QString::fromUtf8(b.unit));
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (static_cast<int>(i) == row) continue;
    const QSignalBlocker quiet(boxes_[i]);
    boxes_[i]->setChecked(false);
  }
  set_axis_titles();
  rescale();
}

void TuningChart::rescale() {
  if (shown_ > 0) graph(static_cast<Series>(shown_))->rescaleAxes();
  place_marks();
  plot_->replot();
  // The axis may have moved under the pointer, or the curve changed.
  refresh_readout();
}

void TuningChart::set_lamp(Lamp lamp, bool lit) { lamps_[lamp]->set_lit(lit); }
bool TuningChart::lamp(Lamp lamp) const { return lamps_[lamp]->lit(); }

bool TuningChart::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plot_ && event->type() == QEvent::MouseMove)
    pointer_at(static_cast<QMouseEvent*>(event)->position().toPoint().x());
  return QWidget::eventFilter(watched, event);
}

void TuningChart::pointer_at(int x_pixel) {
  pointer_x_ = x_pixel;
  refresh_readout();
}

void TuningChart::refresh_readout() {
  const Series s = static_cast<Series>(shown_);
  const int count = shown_ > 0 ? point_count(s) : 0;
  const bool was_marked = pick_->visible();
  pick_->setVisible(false);
  if (count == 0 || pointer_x_ < 0) {
    for (QLabel* l : readout_) l->clear();
    if (was_marked) plot_->replot(QCustomPlot::rpQueuedReplot);
    return;
  }
  // The point whose x value lies nearest the pointer's.
  const double key = plot_->xAxis->pixelToCoord(pointer_x_);
  const auto data = graph(s)->data();
  auto it = data->findBegin(key, false);
  if (it == data->constEnd()) --it;
  if (it != data->constBegin()) {
    const auto before = it - 1;
    if (std::abs(before->key - key) <= std::abs(it->key - key)) it = before;
  }
  const CurveBox* b = box_of(shown_);
  const bool spectrum = b && b->spectrum;
  if (spectrum) {
    // A narrow peak can fall between two pixels: the highest point near the pointer is read.
    const double a = plot_->xAxis->pixelToCoord(pointer_x_ - kPickPixels);
    const double z = plot_->xAxis->pixelToCoord(pointer_x_ + kPickPixels);
    const auto end = data->findEnd(std::max(a, z), false);
    for (auto p = data->findBegin(std::min(a, z), false); p != end; ++p)
      if (p->value > it->value) it = p;
    pick_->setGraph(graph(s));
    pick_->setGraphKey(it->key);
    pick_->setVisible(true);
  }
  if (spectrum || was_marked) plot_->replot(QCustomPlot::rpQueuedReplot);
  const double x = spectrum ? it->key : it->key * time_step(s);
  readout_[0]->setText(QStringLiteral("X: %1 %2").arg(x, 0, 'f', 1).arg(spectrum ? QStringLiteral("Hz") : QStringLiteral("ms")));
  readout_[1]->setText(QStringLiteral("点数: %1").arg(count));
  readout_[2]->setText(QStringLiteral("Y: %1").arg(std::lround(it->value)));
}

}  // namespace velmo::tuning
