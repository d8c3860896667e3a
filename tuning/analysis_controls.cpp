// Controls of the manual-tuning page that the analyses, the filters, the
// response test and the inertia estimation use, and the hidden ones the
// automatic sequences click or read.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "tuning/gain_tuning_window.h"

namespace velmo {

namespace {

void text_in(QWidget* parent, const char* text, int x, int y, int w = 130) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setGeometry(x, y, w, 28);
}

QLineEdit* field_in(QWidget* parent, const char* name, const char* text, int x, int y, bool read_only = false) {
  auto* e = make_edit(parent, name, QRect(x, y, 90, 28), QString::fromUtf8(text));
  e->setReadOnly(read_only);
  return e;
}

QGroupBox* group_in(QWidget* parent, const char* name, const char* title, const QRect& r) {
  auto* g = new QGroupBox(QString::fromUtf8(title), parent);
  g->setObjectName(QString::fromLatin1(name));
  g->setGeometry(r);
  return g;
}

QPushButton* hidden_button(QWidget* parent, const char* name, const char* text) {
  auto* b = make_button(parent, name, QString::fromUtf8(text), QRect(0, 0, 10, 10));
  b->setVisible(false);
  return b;
}

}  // namespace

void GainTuningWindow::build_analysis_groups(QWidget* page) {
  // Notch filters: the group buttons read their group when checked.
  auto* notch = page->findChild<QGroupBox*>(QStringLiteral("GroupBox5"));
  text_in(notch, "陷波频率：", 20, 110, 105);
  field_in(notch, "Edit9", "2500", 130, 110);
  text_in(notch, "HZ", 225, 110, 30);
  text_in(notch, "陷波宽度：", 20, 145, 105);
  field_in(notch, "Edit3", "0", 130, 145);
  text_in(notch, "共振频率：", 20, 180, 105);
  field_in(notch, "Edit44", "", 130, 180, true);
  text_in(notch, "HZ", 225, 180, 30);
  on_click(make_button(notch, "Button8", QStringLiteral("设置陷波器"), QRect(20, 220, 140, 34)), &GainTuningWindow::Button8Click);
  on_click(make_button(notch, "Button9", QStringLiteral("初始化陷波器"), QRect(170, 220, 140, 34)),
           &GainTuningWindow::Button9Click);

  auto* suppressor = page->findChild<QGroupBox*>(QStringLiteral("GroupBox6"));
  text_in(suppressor, "振动抑制频率：", 20, 75);
  field_in(suppressor, "Edit27", "0.0", 150, 75);
  text_in(suppressor, "HZ", 245, 75, 30);
  text_in(suppressor, "衰减深度：", 20, 110);
  field_in(suppressor, "Edit26", "0.0", 150, 110);
  text_in(suppressor, "振动频率：", 20, 145);
  field_in(suppressor, "Edit45", "", 150, 145, true);
  text_in(suppressor, "HZ", 245, 145, 30);
  on_click(make_button(suppressor, "Button16", QStringLiteral("设置抑制器"), QRect(20, 220, 150, 34)),
           &GainTuningWindow::Button16Click);
  on_click(make_button(suppressor, "Button12", QStringLiteral("初始化抑制器"), QRect(180, 220, 150, 34)),
           &GainTuningWindow::Button12Click);

  for (int g = 0; g < 6; ++g) {
    auto* radio = page->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(g + 1));
    // Checked by the user or by the opener and the node change, which run
    // it inside their own sequence.
    connect(radio, &QRadioButton::toggled, this, [this, g](bool on) {
      if (!on || exiting_) return;
      if (g < 4) notch_group_selected(g);
      else suppressor_group_selected(g - 4);
    });
  }

  auto* inertia = group_in(page, "GroupBox11", "惯量推定", QRect(10, 290, 420, 200));
  text_in(inertia, "系统惯量：", 20, 30);
  field_in(inertia, "Edit53", "", 150, 30, true);
  text_in(inertia, "x10^-6 kg·m²", 245, 30, 140);
  text_in(inertia, "惯量比：", 20, 70);
  field_in(inertia, "Edit54", "", 150, 70, true);
  on_click(make_button(inertia, "Button24", QStringLiteral("开始推定"), QRect(20, 130, 140, 34)),
           &GainTuningWindow::Button24Click);
  // Stop is taken while the estimation runs.
  auto* stop = make_button(inertia, "Button38", QStringLiteral("停止搜索"), QRect(170, 130, 140, 34));
  stop->setEnabled(false);
  connect(stop, &QPushButton::clicked, this, [this] { Button38Click(); });

  auto* response = group_in(page, "GroupBox7", "位置响应测试", QRect(450, 290, 700, 200));
  auto* test = make_button(response, "Button18", QStringLiteral("响应测试"), QRect(20, 30, 140, 34));
  test->setToolTip(QStringLiteral("请先确认\"试运行\"中的脉冲频率和运转圈数！！"));
  on_click(test, &GainTuningWindow::Button18Click);
  text_in(response, "位置超调值：", 200, 30);
  field_in(response, "Edit5", "", 330, 30, true);
  text_in(response, "响应时间：", 200, 70);
  field_in(response, "Edit6", "", 330, 70, true);
  text_in(response, "mS", 425, 70, 30);
  text_in(response, "最大转矩值：", 200, 110);
  field_in(response, "Edit32", "", 330, 110, true);
  text_in(response, "%", 425, 110, 30);

  // Hidden: the operations the automatic sequences click and the settings
  // of the analysis.
  on_click(hidden_button(page, "Button2", "频谱分析"), &GainTuningWindow::Button2Click);
  on_click(hidden_button(page, "Button13", "系统振动检测"), &GainTuningWindow::Button13Click);
  on_click(hidden_button(page, "Button17", "末端振动检测"), &GainTuningWindow::Button17Click);
  on_click(hidden_button(page, "Button25", "写入惯量比"), &GainTuningWindow::Button25Click);
  auto* length = make_combo(page, "ComboBox1", QRect(0, 0, 10, 10));
  for (const char* n : {"256", "512", "1024", "2048", "4096"}) length->addItem(QString::fromLatin1(n));
  length->setCurrentIndex(2);
  length->setVisible(false);
  for (const char* name : {"TrackBar10", "TrackBar11"}) {
    auto* bar = new QSlider(Qt::Horizontal, page);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(-200, 50);
    bar->setValue(-60);
    bar->setToolTip(QStringLiteral("-60db"));
    bar->setVisible(false);
    connect(bar, &QSlider::valueChanged, bar, [bar](int v) { bar->setToolTip(QStringLiteral("%1db").arg(v)); });
  }
  wire_filter_fields(page);
}

}  // namespace velmo
