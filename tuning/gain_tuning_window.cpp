#include "tuning/gain_tuning_window.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"

namespace velmo {

GainTuningWindow::GainTuningWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm3", QStringLiteral("驱动器增益调试"), QSize(1200, 800), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  mark_node_list(make_combo(this, "ComboBox2", QRect(70, 10, 100, 30)), NodeListGroup::Servo);
  make_panel(this, QRect(190, 10, 600, 30));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(1080, 8, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  auto* pages = new QTabWidget(this);
  pages->setObjectName(QStringLiteral("PageControl1"));
  pages->setGeometry(10, 50, 1170, 700);
  auto* traffic = new QWidget;
  pages->addTab(traffic, QStringLiteral(" 通讯数据  "));
  auto* memo1 = make_memo(traffic, "Memo1", QRect(10, 10, 560, 600));
  make_memo(traffic, "Memo3", QRect(580, 10, 280, 600));
  make_memo(traffic, "Memo4", QRect(870, 10, 280, 600));
  auto* rx_count = make_edit(traffic, "Edit10", QRect(10, 620, 120, 30));
  rx_count->setReadOnly(true);
  route_traffic(ctx.link, WindowCode::GainTuning, memo1);
  ctx.link.on_rx_count = [rx_count = QPointer<QLineEdit>(rx_count)](int32_t n) {
    if (rx_count) rx_count->setText(QString::number(n));
  };
  apply_screen_scaling(pages);
  // The mode writes before a servo's settings are restored.
  connect(&ctx.events, &LinkEvents::servo_mode_written, this, [this](int station, const QString& text, bool done) {
    const QString line = node_line(station, text);
    set_panel(this, line);
    if (!done) add_line(this, "Memo4", line + QStringLiteral("**"));
  });
}

}  // namespace velmo
