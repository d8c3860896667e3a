#include "common/velmo_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include "common/center_on_screen.h"
#include "common/form_access.h"
#include "common/status_line.h"
#include "common/window_holds.h"
#include "common/window_sizing.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"

namespace velmo {

VelmoWindow::VelmoWindow(AppContext& ctx, const char* object_name, const QString& title, QSize design_size,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx) {
  setObjectName(QString::fromLatin1(object_name));
  setWindowTitle(title);
  resize(design_size);
  connect(&ctx.link, &DriveLink::hangup, this, [this] {
    if (isVisible()) port_lost();
  });
  // A search opens the port afresh: its lines may replace the lost-port line.
  connect(&ctx.events, &LinkEvents::node_lists_cleared, this, [this] { release_port_lost_line(this); });
  connect(&ctx.events, &LinkEvents::station_moved, this,
          [this](DeviceFamily, int from, int to) { station_moved(static_cast<uint8_t>(from), static_cast<uint8_t>(to)); });
}

void VelmoWindow::set_failure_log(QPlainTextEdit* log, bool timed) {
  failure_log_ = log;
  failure_log_timed_ = timed;
}

void VelmoWindow::port_lost() {
  const QString text = port_lost_text(ctx_.link.Comm1.CommName);
  if (findChild<QLabel*>(QStringLiteral("Panel1"))) hold_port_lost_line(this, text);
  if (failure_log_) {
    const QString line = text + QStringLiteral("**");
    append_line(failure_log_, failure_log_timed_ ? timed_line(line) : line);
  }
}

bool VelmoWindow::leave() {
  if (!exit_guard()) return false;
  on_leave();
  hide();
  if (QWidget* main = ctx_.forms ? ctx_.forms("TForm1") : nullptr) main->showNormal();
  ctx_.link.st.active_form = static_cast<uint8_t>(WindowCode::Main);
  return true;
}

void VelmoWindow::apply_screen_scaling(QWidget* anchor, int margin_height, int margin_width) {
  apply_screen_scaling(anchor, anchor, margin_height, margin_width);
}

void VelmoWindow::apply_screen_scaling(QWidget* height_anchor, QWidget* width_anchor, int margin_height,
                                       int margin_width) {
  apply_window_scaling(this, primary_screen_size(), height_anchor, width_anchor, margin_height, margin_width);
}

void VelmoWindow::closeEvent(QCloseEvent* event) {
  // The close box and Alt+F4 take the same way out as the exit button.
  if (!isVisible() || leave())
    event->accept();
  else
    event->ignore();
}

void VelmoWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (centred_) center_on_screen(this);
}

void VelmoWindow::show_status(const QString& text) { set_panel(this, text); }

std::optional<uint8_t> VelmoWindow::held_elsewhere(uint8_t station) const {
  if (const VelmoWindow* other = holder_of(ctx_.forms, station, this)) return other->restore_code();
  return std::nullopt;
}

void VelmoWindow::station_back(uint8_t station) {
  if (auto* panel = findChild<QLabel*>(QStringLiteral("Panel1")))
    set_panel_text(panel, node_line(station, QStringLiteral("驱动器已重新在线上找到")));
}

void VelmoWindow::station_gone(uint8_t station) {
  if (auto* panel = findChild<QLabel*>(QStringLiteral("Panel1"))) set_panel_text(panel, station_gone_text(station));
}

void VelmoWindow::set_program_closing(bool closing) {
  program_closing_ = closing;
  on_program_closing(closing);
}

}  // namespace velmo
