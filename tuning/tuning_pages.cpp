// The pages of the gain-tuning window: controls, texts and hints only; what
// they do is wired in the files of each job.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "tuning/gain_tuning_window.h"

namespace velmo {

namespace {

QLabel* text_at(QWidget* parent, const char* text, int x, int y, int w = 130) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setGeometry(x, y, w, 28);
  return l;
}

QLineEdit* edit_at(QWidget* parent, const char* name, const char* text, int x, int y, int w = 90) {
  return make_edit(parent, name, QRect(x, y, w, 28), QString::fromUtf8(text));
}

QLineEdit* shown_at(QWidget* parent, const char* name, int x, int y, int w = 90) {
  auto* e = edit_at(parent, name, "", x, y, w);
  e->setReadOnly(true);
  return e;
}

QComboBox* choice_at(QWidget* parent, const char* name, std::initializer_list<const char*> items, int x, int y) {
  auto* box = make_combo(parent, name, QRect(x, y, 200, 28));
  for (const char* item : items) box->addItem(QString::fromUtf8(item));
  box->setCurrentIndex(0);
  return box;
}

QGroupBox* group_at(QWidget* parent, const char* name, const char* title, const QRect& r) {
  auto* g = new QGroupBox(QString::fromUtf8(title), parent);
  g->setObjectName(QString::fromLatin1(name));
  g->setGeometry(r);
  return g;
}

QRadioButton* radio_at(QWidget* parent, const char* name, const char* text, int x, int y, int w = 220) {
  auto* r = new QRadioButton(QString::fromUtf8(text), parent);
  r->setObjectName(QString::fromLatin1(name));
  r->setGeometry(x, y, w, 28);
  return r;
}

}  // namespace

QWidget* GainTuningWindow::build_auto_page() {
  auto* page = new QWidget;
  auto* load = group_at(page, "GroupBox1", "负载设置", QRect(10, 10, 560, 300));
  text_at(load, "负载类别", 20, 30);
  auto* load_class = choice_at(load, "ComboBox4", {"1、低刚性负载", "2、中刚性负载", "3、高刚性负载"}, 150, 30);
  load_class->setToolTip(QStringLiteral("低刚性负载：如同步带传动、齿轮齿条传动、机械臂、机械手等系统"));
  text_at(load, "性能要求", 20, 70);
  auto* response = choice_at(load, "ComboBox5", {"1、低响应", "2、中响应", "3、高响应"}, 150, 70);
  response->setToolTip(QStringLiteral("为保证设备稳定运行，在满足性能要求的前提下，建议设置为低响应！！"));
  text_at(load, "惯量推定", 20, 110);
  auto* estimate = choice_at(load, "ComboBox6", {"1、不进行惯量推定", "2、执行惯量推定"}, 150, 110);
  text_at(load, "垂直负载", 20, 150);
  auto* vertical = choice_at(load, "ComboBox7", {"1、否", "2、是"}, 150, 150);
  auto* async = radio_at(load, "RadioButton13", "非同步定位要求", 20, 190);
  auto* sync = radio_at(load, "RadioButton14", "运动插补同步定位要求", 20, 225);
  async->setChecked(true);
  text_at(load, "定位时间", 250, 225, 70);
  auto* positioning = edit_at(load, "Edit48", "80", 320, 225, 80);
  positioning->setEnabled(false);
  text_at(load, "mS", 405, 225, 40);

  connect(load_class, &QComboBox::activated, this, [this](int) {
    if (!sequence_running()) ComboBox4Change();
  });
  connect(response, &QComboBox::activated, this, [this](int) {
    if (!sequence_running()) ComboBox5Change();
  });
  connect(estimate, &QComboBox::currentIndexChanged, this,
          [this](int i) { hidden.run_inertia_estimation = i == 1; });
  connect(vertical, &QComboBox::currentIndexChanged, this, [this](int i) { hidden.vertical_load = i == 1; });
  auto sync_rule = [this, response, positioning](bool synchronised) {
    tuning_->sync_positioning = synchronised ? 1 : 0;
    response->setEnabled(!synchronised);
    positioning->setEnabled(synchronised);
  };
  connect(async, &QRadioButton::toggled, this, [sync_rule](bool on) {
    if (on) sync_rule(false);
  });
  connect(sync, &QRadioButton::toggled, this, [sync_rule](bool on) {
    if (on) sync_rule(true);
  });

  auto* ratio = group_at(page, "GroupBox2", "齿轮比与惯量比", QRect(590, 10, 560, 200));
  text_at(ratio, "电子齿轮比：", 20, 30);
  edit_at(ratio, "Edit28", "1", 150, 30, 110);
  text_at(ratio, "/", 265, 30, 15);
  edit_at(ratio, "Edit29", "1", 285, 30, 110);
  text_at(ratio, "负载惯量比：", 20, 70);
  edit_at(ratio, "Edit20", "1.0", 150, 70, 110);
  on_click(make_button(ratio, "Button14", QStringLiteral("读取"), QRect(150, 120, 100, 34)), &GainTuningWindow::Button14Click);
  on_click(make_button(ratio, "Button15", QStringLiteral("修改"), QRect(285, 120, 100, 34)), &GainTuningWindow::Button15Click);

  auto* motor = group_at(page, "GroupBox3", "电机参数", QRect(590, 220, 560, 150));
  text_at(motor, "电机代码：", 20, 30);
  shown_at(motor, "Edit56", 150, 30);
  text_at(motor, "转子惯量：", 20, 70);
  shown_at(motor, "Edit52", 150, 70);
  text_at(motor, "x10^-6 kg·m²", 245, 70, 120);
  text_at(motor, "额定转矩：", 20, 110);
  shown_at(motor, "Edit51", 150, 110);
  text_at(motor, "N·m", 245, 110, 60);

  auto* revs = group_at(page, "GroupBox10", "电机旋转圈数", QRect(10, 320, 560, 80));
  auto* revs_num = edit_at(revs, "Edit35", "3", 20, 35, 60);
  text_at(revs, "/", 85, 35, 15);
  auto* revs_den = edit_at(revs, "Edit66", "1", 105, 35, 60);
  for (QLineEdit* e : {revs_num, revs_den}) e->setToolTip(QStringLiteral("1~50  请确认安全行程！！"));
  return page;
}

QWidget* GainTuningWindow::build_manual_page() {
  auto* page = new QWidget;
  auto* gains = group_at(page, "GroupBox4", "增益调整", QRect(10, 10, 420, 260));
  text_at(gains, "系统刚性：", 20, 30, 150);
  edit_at(gains, "Edit39", "10", 180, 30);
  text_at(gains, "位置环增益：", 20, 70, 150);
  edit_at(gains, "Edit40", "", 180, 70);
  text_at(gains, "速度环增益：", 20, 110, 150);
  edit_at(gains, "Edit41", "", 180, 110);
  text_at(gains, "速度环积分时间：", 20, 150, 150);
  edit_at(gains, "Edit42", "", 180, 150);
  auto* start_gains = make_button(gains, "Button21", QStringLiteral("位置模式初始增益"), QRect(20, 200, 250, 34));
  start_gains->setToolTip(QStringLiteral("默认10级刚性，初始化陷波器和振动抑制器！！"));
  on_click(start_gains, &GainTuningWindow::Button21Click);

  auto* notch = group_at(page, "GroupBox5", "机械共振陷波器", QRect(450, 10, 330, 270));
  const char* group_names[] = {"第一组", "第二组", "第三组", "第四组"};
  for (int g = 0; g < 4; ++g)
    radio_at(notch, QStringLiteral("RadioButton%1").arg(g + 1).toLatin1().constData(), group_names[g], 20 + 150 * (g % 2),
             30 + 40 * (g / 2), 140);
  auto* suppressor = group_at(page, "GroupBox6", "停止末端振动抑制器", QRect(800, 10, 350, 270));
  for (int g = 0; g < 2; ++g)
    radio_at(suppressor, QStringLiteral("RadioButton%1").arg(g + 5).toLatin1().constData(), group_names[g], 20 + 150 * g,
             30, 140);

  build_analysis_groups(page);
  return page;
}

QWidget* GainTuningWindow::build_trial_page() {
  auto* page = new QWidget;
  auto* settings = group_at(page, "GroupBox8", "试运行设置", QRect(10, 10, 560, 330));
  text_at(settings, "电机旋转圈数", 20, 30);
  edit_at(settings, "Edit8", "3", 150, 30, 60);
  text_at(settings, "/", 215, 30, 15);
  edit_at(settings, "Edit67", "1", 235, 30, 60);
  text_at(settings, "脉冲频率", 20, 70);
  edit_at(settings, "Edit68", "10", 150, 70);
  text_at(settings, "KHZ", 245, 70, 40);
  text_at(settings, "循环次数", 20, 110);
  edit_at(settings, "Edit31", "1", 150, 110, 60)->setToolTip(QStringLiteral("1~99"));
  text_at(settings, "正转次数", 20, 150);
  shown_at(settings, "Edit43", 150, 150, 60);
  text_at(settings, "反转次数", 230, 150, 80);
  shown_at(settings, "Edit60", 310, 150, 60);
  text_at(settings, "最大转矩值", 20, 190);
  shown_at(settings, "Edit33", 150, 190, 60);
  text_at(settings, "%", 215, 190, 20);

  on_click(make_button(settings, "Button40", QStringLiteral("正转"), QRect(20, 240, 100, 34)), &GainTuningWindow::Button40Click);
  on_click(make_button(settings, "Button41", QStringLiteral("反转"), QRect(130, 240, 100, 34)), &GainTuningWindow::Button41Click);
  auto* cyclic = make_button(settings, "Button35", QStringLiteral("循环运转"), QRect(240, 240, 100, 34));
  cyclic->setToolTip(QStringLiteral("正转→反转"));
  on_click(cyclic, &GainTuningWindow::Button35Click);
  // Stop is taken while a run is under way.
  connect(make_button(settings, "Button48", QStringLiteral("停止"), QRect(350, 240, 100, 34)), &QPushButton::clicked, this,
          [this] { Button48Click(); });

  auto* where = group_at(page, "GroupBox9", "电机位置", QRect(590, 10, 560, 120));
  shown_at(where, "Edit17", 20, 35, 120);
  text_at(where, "圈 +", 145, 35, 40);
  shown_at(where, "Edit34", 190, 35, 120);
  text_at(where, "脉冲", 315, 35, 50);
  on_click(make_button(where, "Button6", QStringLiteral("读取位置信息"), QRect(20, 75, 160, 34)), &GainTuningWindow::Button6Click);
  return page;
}

QWidget* GainTuningWindow::build_limits_page() {
  auto* page = new QWidget;
  text_at(page, "最大转矩上限值：", 20, 30, 160);
  edit_at(page, "Edit46", "240", 190, 30);
  text_at(page, "%", 285, 30, 20);
  text_at(page, "位置超调上限值：", 20, 70, 160);
  edit_at(page, "Edit47", "20", 190, 70);
  text_at(page, "定位响应时间目标值：", 20, 110, 160);
  edit_at(page, "Edit64", "80", 190, 110);
  text_at(page, "mS", 285, 110, 30);
  return page;
}

QWidget* GainTuningWindow::build_log_page() {
  auto* page = new QWidget;
  // Each log under its heading, as in the other windows.
  text_at(page, "通讯记录", 10, 6, 560)->setObjectName(QStringLiteral("LabelMemo1"));
  memo1_ = make_memo(page, "Memo1", QRect(10, 36, 560, 574));
  text_at(page, "通讯过程记录（成功）", 580, 6, 280)->setObjectName(QStringLiteral("LabelMemo3"));
  memo3_ = make_memo(page, "Memo3", QRect(580, 36, 280, 574));
  text_at(page, "通讯过程记录（失败）", 870, 6, 280)->setObjectName(QStringLiteral("LabelMemo4"));
  memo4_ = make_memo(page, "Memo4", QRect(870, 36, 280, 574));
  text_at(page, "本次接收字节数：", 10, 621, 130)->setObjectName(QStringLiteral("LabelEdit10"));
  auto* rx_count = make_edit(page, "Edit10", QRect(140, 620, 120, 30));
  rx_count->setReadOnly(true);
  route_traffic(ctx_.link, WindowCode::GainTuning, memo1_);
  ctx_.link.on_rx_count = [rx_count = QPointer<QLineEdit>(rx_count)](int32_t n) {
    if (rx_count) rx_count->setText(QString::number(n));
  };
  return page;
}

}  // namespace velmo
