#include "common/param_editor_engine.h"

#include <QApplication>
#include <QEvent>
#include <QTabWidget>

#include <algorithm>
#include <exception>
#include <memory>
#include <stdexcept>

#include "common/form_access.h"
#include "common/station_change.h"
#include "common/status_line.h"
#include "common/value_marks.h"
#include "drivelink/drive_identity.h"
#include "drivelink/drive_link.h"

namespace velmo {

namespace {
QString dump_line(int reg, int32_t v) { return QString::number(reg) + QString(10, QLatin1Char(' ')) + QString::number(v); }

const QString kWriteOk = QStringLiteral("参数修改成功");
const QString kWriteFail = QStringLiteral("参数修改失败");
// The configuration names everything the engine cannot guess.
EditorConfig checked(EditorConfig c) {
  QStringList missing;
  if (!c.family) missing << QStringLiteral("family");
  if (!c.success_memo) missing << QStringLiteral("success_memo");
  if (!c.failure_memo) missing << QStringLiteral("failure_memo");
  if (!c.dump_memo) missing << QStringLiteral("dump_memo");
  if (!c.station_refresh) missing << QStringLiteral("station_refresh");
  if (!missing.isEmpty())
    throw std::logic_error("editor configuration lacks " + missing.join(QStringLiteral(", ")).toStdString());
  return c;
}
}  // namespace

ParamEditorEngine::ParamEditorEngine(DriveLink& link, QWidget* form, const ParamTable& table, ParamEditorHooks& hooks,
                                     EditorConfig config)
    : QObject(form),
      link_(link),
      st_(link.st),
      form_(form),
      table_(table),
      hooks_(hooks),
      config_(checked(std::move(config))),
      image_(kImageSize, 0),
      sources_(kImageSize) {
  for (const auto& row : table_.rows) {
    items_.push_back(row.items);
    if (row.shown_when.reg >= 0) chosen_rows_ = true;
  }
  wait_timer_.setInterval(20);
  connect(&wait_timer_, &ClockTimer::timeout, this, &ParamEditorEngine::pump_waiting);
  // Marks are drawn only on a window someone sees.
  form_->installEventFilter(this);
}

bool ParamEditorEngine::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_ && event->type() == QEvent::Show) refresh_marks();
  return QObject::eventFilter(watched, event);
}

void ParamEditorEngine::build_controls(QWidget* area) {
  built_ = build_param_controls(table_, area);
  looks_.assign(table_.rows.size(), Look{});
  for (size_t i = 0; i < table_.rows.size(); ++i) {
    const ParamRow& row = table_.rows[i];
    if (auto* edit = qobject_cast<ParamEdit*>(built_.by_row[i])) {
      connect(edit, &ParamEdit::entered, this, [this, &row] { enter(row); });
      connect(edit, &ParamEdit::left, this, [this, &row, edit] { leave(row, edit->isModified()); });
    } else if (auto* combo = qobject_cast<ParamCombo*>(built_.by_row[i])) {
      connect(combo, &QComboBox::activated, this, [this, &row](int index) { pick(row, index); });
    }
  }
}

void ParamEditorEngine::select(int node, int layout) {
  const int from = node_;
  const uint32_t from_drive = drive_;
  const uint32_t drive = drive_tag(st_, node);
  const bool other_line = drive_line(st_, drive) != drive_line(st_, from_drive);
  if (layout != layout_) {
    // Another layout gives the registers other meanings: nothing stays known.
    std::fill(sources_.begin(), sources_.end(), Source{});
  } else if ((node != node_ || drive != drive_) && (!config_.keep_values_across_nodes || other_line)) {
    // What the image holds describes another drive: a file or an entry was
    // meant for it, and its read values stay marked as that node's.
    for (Source& s : sources_)
      if (s.set && s.from != ValueSource::Drive && s.from != ValueSource::Written && s.from != ValueSource::Downloaded)
        s = {};
  }
  node_ = node;
  drive_ = drive;
  layout_ = layout;
  // The station number of the node edited is its address.
  for (const ParamRow& row : table_.rows) {
    if (!row.has(kStation) || !row.in_layout(layout_) || row.reg < 0) continue;
    image_[static_cast<size_t>(row.reg)] = node;
    sources_[static_cast<size_t>(row.reg)] = {true, ValueSource::Drive, node, ++stamp_, drive_};
    if (control_of(row)) put_row(row);
  }
  if (node != from || drive != from_drive) {
    if (const int other = other_node_shown(); other > 0)
      status(QStringLiteral("显示的参数仍是%1的值，尚未从本节点读取").arg(other_shown_name()));
  }
  refresh_marks();
}

void ParamEditorEngine::apply_layout() {
  if (built_.by_row.empty()) return;
  for (const auto& b : built_.boxes) b.box->setVisible(((b.layouts >> layout_) & 1u) != 0);
  for (size_t i = 0; i < table_.rows.size(); ++i) {
    const ParamRow& row = table_.rows[i];
    const bool active = row_active(row);
    // A parameter the layout lacks may still show its control, greyed.
    const bool greyed = !active && ((row.greyed_layouts >> layout_) & 1u) != 0;
    const bool shown = active || greyed;
    for (QWidget* w : {built_.by_row[i], built_.labels[i], built_.units[i]})
      if (w && w->isVisibleTo(w->parentWidget()) != shown) w->setVisible(shown);
    if (row.greyed_layouts != 0 && built_.by_row[i]) built_.by_row[i]->setEnabled(active && !row.has(kRowDisabled));
  }
}

bool ParamEditorEngine::row_active(const ParamRow& row) const {
  if (!row.in_layout(layout_)) return false;
  const ShownWhen& when = row.shown_when;
  if (when.reg < 0) return true;
  const int32_t v = value(when.reg);
  return std::find(when.values.begin(), when.values.end(), v) != when.values.end();
}

const ParamRow* ParamEditorEngine::active_row(int reg) const {
  for (const auto& row : table_.rows)
    if (row.reg >= 0 && reg >= row.reg && reg < row.reg + row.reg_count() && row_active(row)) return &row;
  return nullptr;
}

std::optional<double> ParamEditorEngine::shown_number(const char* control) const {
  const ParamRow* row = table_.row_by_control(QString::fromLatin1(control));
  if (!row) return std::nullopt;
  QWidget* c = control_of(*row);
  if (auto* combo = qobject_cast<QComboBox*>(c)) {
    const int i = combo->currentIndex();
    const auto& items = items_of(*row);
    if (i < 0 || static_cast<size_t>(i) >= items.size()) return std::nullopt;
    return items[static_cast<size_t>(i)].value;
  }
  if (auto* edit = qobject_cast<QLineEdit*>(c)) {
    bool ok = false;
    const double v = edit->text().toDouble(&ok);
    if (ok) return v;
  }
  return std::nullopt;
}

bool ParamEditorEngine::unconfirmed(const ParamRow& row) const {
  return unconfirmed_.count(static_cast<size_t>(&row - table_.rows.data())) != 0;
}

void ParamEditorEngine::set_unconfirmed(const ParamRow& row, bool on, const QString& why) {
  const auto i = static_cast<size_t>(&row - table_.rows.data());
  if (!on && unconfirmed_.erase(i) == 0) return;
  if (on) unconfirmed_[i] = why;
  update_look(i);
}

// ---- Marks ----

bool ParamEditorEngine::known(int reg) const {
  if (reg < 0 || reg >= kImageSize) return false;
  const Source& s = sources_[static_cast<size_t>(reg)];
  return s.set && (from_this_drive(s) || copyable(s)) && !stale(reg);
}

bool ParamEditorEngine::copyable(const Source& s) const {
  return config_.keep_values_across_nodes && drive_line(st_, s.drive) == drive_line(st_, drive_);
}

QString ParamEditorEngine::source_name(const Source& s) const {
  if (s.node == node_ && s.drive != drive_ && s.drive != 0) return drive_name(st_, s.drive);
  return QStringLiteral("节点%1").arg(s.node);
}

bool ParamEditorEngine::stale(int reg) const {
  if (reg < 0 || reg >= kImageSize) return false;
  const Source& s = sources_[static_cast<size_t>(reg)];
  if (!s.set || s.node == 0) return false;
  const auto failed = failed_read_.find(s.node);
  if (failed == failed_read_.end() || s.stamp > failed->second) return false;
  // The station number is the node's address, whatever a read gave.
  const ParamRow* row = active_row(reg);
  return !(row && row->has(kStation));
}

bool ParamEditorEngine::from_selected(int reg) const {
  if (reg < 0 || reg >= kImageSize) return false;
  const Source& s = sources_[static_cast<size_t>(reg)];
  return s.set && from_this_drive(s);
}

void ParamEditorEngine::set_source(int reg, ValueSource source) {
  if (reg < 0 || reg >= kImageSize) return;
  // The drive's values belong to its node; a file's and an entry's to none.
  const bool drive = source == ValueSource::Drive || source == ValueSource::Written || source == ValueSource::Downloaded;
  sources_[static_cast<size_t>(reg)] = {true, source, drive ? node_ : 0, ++stamp_, drive ? drive_ : 0};
}

QString ParamEditorEngine::unread_reason(const ParamRow& row) const {
  if (!control_of(row) || row.reg < 0 || !row_active(row)) return {};
  for (int k = 0; k < row.reg_count(); ++k) {
    const int reg = row.reg + k;
    if (from_selected(reg)) continue;
    const Source& s = sources_[static_cast<size_t>(reg)];
    if (s.set) return QStringLiteral("此值读自%1，尚未从本节点读取").arg(source_name(s));
    return QStringLiteral("此值未从驱动器读取，也不来自菜单文件或输入");
  }
  return {};
}

QString ParamEditorEngine::stale_reason(const ParamRow& row) const {
  if (!control_of(row) || row.reg < 0 || !row_active(row)) return {};
  for (int k = 0; k < row.reg_count(); ++k)
    if (stale(row.reg + k)) return QStringLiteral("此值来自更早的读取，最近一次读取菜单失败，未经确认");
  return {};
}

QString ParamEditorEngine::range_reason(size_t i) {
  const ParamRow& row = table_.rows[i];
  if (row.kind == RowKind::List) {
    const auto* combo = qobject_cast<const QComboBox*>(control_of(row));
    if (!combo || !row_active(row) || !shows_raw(row, *combo)) return {};
    return QStringLiteral("此值%1不对应任何选项，原样保留；选择一项即替换此值").arg(combo->placeholderText());
  }
  if (row.kind != RowKind::Number || row.has(kStation) || !row_active(row) || !shows_image(row)) return {};
  const auto* edit = qobject_cast<QLineEdit*>(control_of(row));
  const ParamRange range = range_of(row);
  Look& look = looks_[i];
  // Checked once per text and range: the marks are brought up to date often.
  if (look.range_text == edit->text() && look.range.min == range.min && look.range.max == range.max &&
      look.range.empty == range.empty)
    return look.range_note;
  std::vector<int32_t> held;
  for (int k = 0; k < row.reg_count(); ++k) held.push_back(image_[static_cast<size_t>(row.reg + k)]);
  // Out of range is what the field's own clamp would change.
  QString note;
  if (encode_text(row, clamp_of(row, edit->text())) != held)
    note = QStringLiteral("此值超出范围%1~%2，原样保留；输入的值按此范围限定")
               .arg(format_number(range.min, row.codec.decimals), format_number(range.max, row.codec.decimals));
  look.range_text = edit->text();
  look.range = range;
  look.range_note = note;
  return note;
}

bool ParamEditorEngine::marked(const ParamRow& row) const {
  const auto i = static_cast<size_t>(&row - table_.rows.data());
  return i < looks_.size() && looks_[i].unread;
}

bool ParamEditorEngine::out_of_range(const ParamRow& row) const {
  const auto i = static_cast<size_t>(&row - table_.rows.data());
  return i < looks_.size() && looks_[i].out_of_range;
}

int ParamEditorEngine::other_node_shown() const {
  for (const ParamRow& row : table_.rows) {
    if (!control_of(row) || row.reg < 0 || !row_active(row)) continue;
    const Source& s = sources_[static_cast<size_t>(row.reg)];
    if (s.set && !from_this_drive(s)) return s.node;
  }
  return 0;
}

QString ParamEditorEngine::other_shown_name() const {
  for (const ParamRow& row : table_.rows) {
    if (!control_of(row) || row.reg < 0 || !row_active(row)) continue;
    const Source& s = sources_[static_cast<size_t>(row.reg)];
    if (s.set && !from_this_drive(s)) return source_name(s);
  }
  return {};
}

void ParamEditorEngine::refresh_marks() {
  if (!form_->isVisible()) return;
  for (size_t i = 0; i < looks_.size(); ++i) update_look(i);
}

void ParamEditorEngine::update_look(size_t i) {
  if (i >= looks_.size()) return;
  QWidget* c = built_.by_row[i];
  if (!c) return;
  const ParamRow& row = table_.rows[i];
  Look& look = looks_[i];
  const bool visible = form_->isVisible();
  const QString unread = visible ? unread_reason(row) : QString();
  const QString stale = visible ? stale_reason(row) : QString();
  const QString outside = visible ? range_reason(i) : QString();
  const auto unconfirmed = unconfirmed_.find(i);
  const bool written_unconfirmed = unconfirmed != unconfirmed_.end();
  const bool is_unconfirmed = written_unconfirmed || !stale.isEmpty();
  QStringList reasons;
  for (const QString& r : {stale, outside, unread})
    if (!r.isEmpty()) reasons << r;
  const QString why = reasons.join(QLatin1Char('\n'));
  const QString tip = c->toolTip();
  const QString head = written_unconfirmed ? unconfirmed->second : QString();
  if (look.set && look.unread == !unread.isEmpty() && look.unconfirmed == is_unconfirmed &&
      look.out_of_range == !outside.isEmpty() && look.why == why && tip == look.hint &&
      (!written_unconfirmed || tip.startsWith(head)))
    return;
  // A hint set by the window since (ranges by model type or rating) is the one the marks decorate.
  if (!look.set || tip != look.hint) look.base_hint = tip;
  // A value nobody confirmed and one outside its range look alike: both are
  // shown as they are and want a look before they are sent.
  const bool warm = is_unconfirmed || !outside.isEmpty();
  const char* style = value_mark_style(!unread.isEmpty(), warm);
  QWidget* companion = row.companion ? form_->findChild<QWidget*>(QString::fromLatin1(row.companion)) : nullptr;
  const bool look_changed = !look.set || look.unread != !unread.isEmpty() || look.unconfirmed != is_unconfirmed ||
                            look.out_of_range != !outside.isEmpty();
  for (QWidget* w : {c, companion}) {
    if (!w || !look_changed) continue;
    if (look.set || *style) w->setStyleSheet(QString::fromLatin1(style));
    w->setProperty("unconfirmed", is_unconfirmed);
    w->setProperty("unread", !unread.isEmpty());
    w->setProperty("out_of_range", !outside.isEmpty());
  }
  QString hint = written_unconfirmed ? head : look.base_hint;
  if (!why.isEmpty()) hint += (hint.isEmpty() ? QString() : QStringLiteral("\n")) + why;
  c->setToolTip(hint);
  if (companion) companion->setToolTip(written_unconfirmed ? head + (why.isEmpty() ? QString() : QStringLiteral("\n") + why) : why);
  look.unread = !unread.isEmpty();
  look.unconfirmed = is_unconfirmed;
  look.out_of_range = !outside.isEmpty();
  look.why = why;
  look.hint = hint;
  look.set = true;
}

std::vector<int> ParamEditorEngine::groups_in_layout() const {
  std::vector<int> groups;
  for (size_t g = 0; g < table_.groups.size(); ++g)
    if (!group_rows(table_, static_cast<int>(g), layout_).empty()) groups.push_back(static_cast<int>(g));
  return groups;
}

QWidget* ParamEditorEngine::control_of(const ParamRow& row) const {
  const auto i = &row - table_.rows.data();
  if (i < 0 || static_cast<size_t>(i) >= built_.by_row.size()) return nullptr;
  return built_.by_row[static_cast<size_t>(i)];
}

const ListItems& ParamEditorEngine::items_of(const ParamRow& row) const {
  return items_[static_cast<size_t>(&row - table_.rows.data())];
}

void ParamEditorEngine::set_items(const ParamRow& row, ListItems items) {
  auto* combo = qobject_cast<QComboBox*>(control_of(row));
  const int old = combo ? combo->currentIndex() : -1;
  const auto& before = items_of(row);
  const bool had_value = old >= 0 && static_cast<size_t>(old) < before.size();
  const int32_t shown = had_value ? before[static_cast<size_t>(old)].value : 0;
  // A value shown as its number may be one of the new items.
  const bool had_raw = !had_value && combo && shows_raw(row, *combo);
  items_[static_cast<size_t>(&row - table_.rows.data())] = std::move(items);
  if (!combo) return;
  {
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const auto& item : items_of(row)) combo->addItem(item.text, item.value);
  }
  if (had_value || had_raw)
    show_list_value(row, combo, had_value ? shown : image_[static_cast<size_t>(row.reg)]);
  else
    show_list_value(row, combo, std::nullopt);
}

void ParamEditorEngine::select_value(const ParamRow& row, int32_t value) {
  if (auto* combo = qobject_cast<QComboBox*>(control_of(row))) show_list_value(row, combo, value);
}

void ParamEditorEngine::show_list_value(const ParamRow& row, QComboBox* combo, std::optional<int32_t> value) {
  const int index = value ? item_index(items_of(row), *value) : -1;
  // Only the image's own value, from somewhere known, is shown as a number.
  const bool raw = value && index < 0 && row.reg >= 0 && row.reg < kImageSize &&
                   *value == image_[static_cast<size_t>(row.reg)] && sources_[static_cast<size_t>(row.reg)].set;
  const QSignalBlocker quiet(combo);
  // The text first: clearing it on a blank list would pick the first item.
  combo->setPlaceholderText(raw ? QString::number(*value) : QString());
  combo->setCurrentIndex(index);
}

bool ParamEditorEngine::shows_raw(const ParamRow& row, const QComboBox& combo) const {
  return combo.currentIndex() < 0 && row.reg >= 0 && row.reg < kImageSize && !combo.placeholderText().isEmpty() &&
         combo.placeholderText() == QString::number(image_[static_cast<size_t>(row.reg)]);
}

void ParamEditorEngine::show_row(const ParamRow& row, ValueSource source) {
  if (row.reg < 0 || row.has(kNoGroupIO)) return;
  if (row.has(kStation) && source == ValueSource::File) return;  // a file never renumbers the node
  put_row(row);
  // What the drive holds or accepted settles a value it never confirmed.
  if (source != ValueSource::File) set_unconfirmed(row, false);
  hooks_.value_passed(row, image_[static_cast<size_t>(row.reg)], source);
}

void ParamEditorEngine::put_row(const ParamRow& row) {
  const int32_t v = image_[static_cast<size_t>(row.reg)];
  QWidget* mirror = row.mirror ? form_->findChild<QWidget*>(QString::fromLatin1(row.mirror)) : nullptr;
  for (QWidget* c : {control_of(row), mirror}) {
    if (auto* combo = qobject_cast<QComboBox*>(c)) {
      // A value no item carries stays in the image as it is and shows as its number.
      show_list_value(row, combo, v);
    } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
      if (row.kind == RowKind::Display)
        edit->setText(display_text(row, v));
      else
        edit->setText(number_text(row, v, row.codec.split ? image_[static_cast<size_t>(row.reg) + 1] : 0));
    }
  }
}

void ParamEditorEngine::show_group(int group, ValueSource source) {
  for (const ParamRow* row : group_rows(table_, group, layout_)) show_row(*row, source);
  // Rows shown by another register's value follow what was just shown.
  if (chosen_rows_) apply_layout();
  refresh_marks();
}

ParamEditorEngine::StationEntry ParamEditorEngine::clamp_station(const ParamRow& row, QString* text) {
  const QString clamped = clamp_text(row, *text, row_range(row));
  const auto station = free_station(st_, clamped.toInt(), node_);
  if (!station) return StationEntry::NoneFree;
  // Another window's drive keeps its number (the window has said why).
  if (*station != node_ && hooks_.station_change_refused()) return StationEntry::Held;
  *text = QString::number(*station);
  return StationEntry::Taken;
}

bool ParamEditorEngine::shows_image(const ParamRow& row) const {
  const auto* edit = qobject_cast<const QLineEdit*>(control_of(row));
  if (!edit || row.kind != RowKind::Number || row.reg < 0 || row.reg + row.reg_count() > kImageSize) return false;
  const auto r = static_cast<size_t>(row.reg);
  return edit->text() == number_text(row, image_[r], row.codec.split ? image_[r + 1] : 0);
}

void ParamEditorEngine::stage_image(const ParamRow& row) {
  std::vector<int32_t> values;
  for (int k = 0; k < row.reg_count(); ++k) values.push_back(image_[static_cast<size_t>(row.reg + k)]);
  staged_ = {row.reg, values};
  st_.param_reg = static_cast<uint8_t>(row.reg);
  st_.param_value = values.front();
}

void ParamEditorEngine::take_row(const ParamRow& row) {
  QWidget* c = control_of(row);
  if (!c || row.reg < 0 || row.kind == RowKind::Display) return;
  if (auto* combo = qobject_cast<QComboBox*>(c)) {
    const int index = combo->currentIndex();
    const auto& items = items_of(row);
    // A blank list keeps the raw value it was shown from.
    if (index >= 0 && static_cast<size_t>(index) < items.size())
      image_[static_cast<size_t>(row.reg)] = items[static_cast<size_t>(index)].value;
    return;
  }
  auto* edit = qobject_cast<QLineEdit*>(c);
  if (!edit) return;
  // What the image holds goes back as it came, in range or not; only another
  // text is taken, through the clamp.
  if (shows_image(row)) return;
  const QString text = clamp_of(row, edit->text());
  edit->setText(text);
  const auto values = encode_text(row, text);
  // A text the image never held is the engineer's until the drive takes it.
  for (size_t k = 0; k < values.size(); ++k) take_value(row.reg + static_cast<int>(k), values[k], ValueSource::Entered);
}

ParamRange ParamEditorEngine::range_of(const ParamRow& row) const {
  return row.range_rule ? row.range_rule(row, *this) : row_range(row);
}

QString ParamEditorEngine::clamp_of(const ParamRow& row, const QString& text) {
  const ParamRange range = range_of(row);
  return row.clamp_rule ? row.clamp_rule(row, text, range, *this) : hooks_.clamp(row, text, range);
}

bool ParamEditorEngine::take_group(int group) {
  bool ok = true;
  for (const ParamRow* row : group_rows(table_, group, layout_)) {
    if (!row_active(*row)) continue;  // a hidden alternative leaves the register to the shown one
    if (row->has(kStation)) {
      auto* edit = qobject_cast<QLineEdit*>(control_of(*row));
      QString text = edit ? edit->text() : QString::number(node_);
      if (clamp_station(*row, &text) != StationEntry::Taken) {
        ok = false;
        text = QString::number(node_);
      }
      if (edit) edit->setText(text);
      image_[static_cast<size_t>(row->reg)] = text.toInt();
      continue;
    }
    take_row(*row);
  }
  return ok;
}

bool ParamEditorEngine::leave(const ParamRow& row, bool edited) {
  auto* edit = qobject_cast<QLineEdit*>(control_of(row));
  if (!edit || row.kind != RowKind::Number || row.reg < 0) return false;
  // The focus stays on the locked page: leaving an untouched field while
  // this editor's exchange runs would put the old text over a value the
  // exchange has just taken.
  if (busy_ && !edited) return false;
  if (!edited) {
    // Focus alone is no entry: the text, the image and the value's source
    // stay as they are, a value outside the range too. What the field shows
    // is staged as it is.
    if (!shows_image(row)) return false;
    stage_image(row);
    return true;
  }
  QString text = edit->text();
  if (row.has(kStation)) {
    if (const StationEntry entry = clamp_station(row, &text); entry != StationEntry::Taken) {
      // Every address up to 247 is taken, or another window holds the
      // drive: the node keeps its number.
      edit->setText(QString::number(node_));
      take_value(row.reg, node_, ValueSource::Drive);
      staged_ = {};
      if (entry == StationEntry::NoneFree) {
        status(kWriteFail);
        log_failure(kWriteFail, config_.single_lines_timed, config_.single_fail_suffix);
      }
      return false;
    }
  } else {
    text = clamp_of(row, text);
  }
  edit->setText(text);
  const auto values = encode_text(row, text);
  for (size_t k = 0; k < values.size(); ++k) take_value(row.reg + static_cast<int>(k), values[k], ValueSource::Entered);
  refresh_marks();
  staged_ = {row.reg, values};
  st_.param_reg = static_cast<uint8_t>(row.reg);
  st_.param_value = values.front();
  return true;
}

void ParamEditorEngine::enter(const ParamRow& row) {
  auto* edit = qobject_cast<ParamEdit*>(control_of(row));
  // Enter sends what the field shows: a typed text (or one the image never
  // held) through the clamp, an untouched value as it came.
  const bool typed = !edit || edit->isModified() || !shows_image(row);
  const bool ok = leave(row, typed);
  // Taken before the focus moves: leaving the next field stages its own value.
  const Staged staged = staged_;
  if (edit) edit->focus_next();
  if (!ok) return;
  const int node = node_;
  when_line_free(
      [this, staged, node, &row] {
        Hold hold(*this);
        if (!hold || node != node_) return;
        link_.delay(config_.enter_write_delay_ms);
        write_confirmed(row, staged.values);
      },
      [this] {
        status(kWriteFail);
        log_failure(kWriteFail, config_.single_lines_timed, config_.single_fail_suffix);
      });
}

void ParamEditorEngine::pick(const ParamRow& row, int index) {
  const auto& items = items_of(row);
  if (index < 0 || static_cast<size_t>(index) >= items.size() || row.reg < 0) return;
  const int32_t v = items[static_cast<size_t>(index)].value;
  if (!hooks_.pick_allowed(row, v)) {
    put_row(row);
    return;
  }
  // What the pick changes besides its own row shares the write's fate.
  const std::vector<int32_t> image_before = image_;
  const std::vector<Source> sources_before = sources_;
  std::vector<Shown> shown_before(table_.rows.size());
  for (size_t i = 0; i < shown_before.size(); ++i) shown_before[i] = shown_state(i);
  take_value(row.reg, v, ValueSource::Entered);
  // The number shown for a value no item carried has gone with it.
  if (auto* combo = qobject_cast<QComboBox*>(control_of(row))) show_list_value(row, combo, v);
  if (chosen_rows_) apply_layout();
  hooks_.value_picked(row, v);
  auto effects = std::make_shared<PickEffects>(pick_effects(row, image_before, sources_before, shown_before));
  refresh_marks();
  staged_ = {row.reg, {v}};
  st_.param_reg = static_cast<uint8_t>(row.reg);
  st_.param_value = v;
  const int node = node_;
  when_line_free(
      [this, node, &row, v, effects] {
        Hold hold(*this);
        if (!hold || node != node_) return;
        if (config_.pick_write_delay_ms > 0) link_.delay(config_.pick_write_delay_ms);
        write_confirmed(row, {v}, effects.get());
      },
      [this] {
        status(kWriteFail);
        log_failure(kWriteFail, config_.single_lines_timed, config_.single_fail_suffix);
      });
}

ParamEditorEngine::Shown ParamEditorEngine::shown_state(size_t i) const {
  Shown shown;
  QWidget* c = i < built_.by_row.size() ? built_.by_row[i] : nullptr;
  if (!c) return shown;
  if (auto* combo = qobject_cast<QComboBox*>(c)) shown.index = combo->currentIndex();
  if (auto* edit = qobject_cast<QLineEdit*>(c)) shown.text = edit->text();
  // The hint without the marks, which are drawn again over whatever comes back.
  shown.hint = c->toolTip();
  if (i < looks_.size() && looks_[i].set && shown.hint == looks_[i].hint) shown.hint = looks_[i].base_hint;
  return shown;
}

ParamEditorEngine::PickEffects ParamEditorEngine::pick_effects(const ParamRow& picked,
                                                               const std::vector<int32_t>& image_before,
                                                               const std::vector<Source>& sources_before,
                                                               const std::vector<Shown>& shown_before) const {
  PickEffects effects;
  for (int reg = 0; reg < kImageSize; ++reg) {
    const auto r = static_cast<size_t>(reg);
    if (reg != picked.reg && (image_[r] != image_before[r] || !(sources_[r] == sources_before[r])))
      effects.regs.push_back({reg, image_before[r], sources_before[r]});
  }
  for (size_t i = 0; i < table_.rows.size(); ++i) {
    if (&table_.rows[i] == &picked) continue;
    const Shown now = shown_state(i);
    const Shown& was = shown_before[i];
    if (now.index != was.index || now.text != was.text || now.hint != was.hint)
      effects.rows.push_back({i, was.index, was.text, was.hint});
  }
  return effects;
}

void ParamEditorEngine::undo_effects(const PickEffects& effects) {
  for (const auto& r : effects.regs) {
    image_[static_cast<size_t>(r.reg)] = r.value;
    sources_[static_cast<size_t>(r.reg)] = r.source;
  }
  for (const auto& r : effects.rows) {
    QWidget* c = built_.by_row[r.row];
    if (auto* combo = qobject_cast<QComboBox*>(c)) {
      const QSignalBlocker quiet(combo);
      combo->setCurrentIndex(r.index);
    } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
      edit->setText(r.text);
    }
    if (c) c->setToolTip(r.hint);
  }
}

// ---- The line ----

bool ParamEditorEngine::line_free() const { return !busy_ && st_.write_busy == 0 && st_.sending == 0; }

bool ParamEditorEngine::take_line() {
  if (!line_free()) return false;
  if (node_ == 0) {
    set_panel_text(panel(), QStringLiteral("未选择节点，请先在节点列表中选择节点！！"));
    return false;
  }
  busy_ = true;
  st_.write_busy = 1;
  focus_before_ = QApplication::focusWidget();
  hooks_.set_busy(true);
  return true;
}

void ParamEditorEngine::release_line() {
  st_.write_busy = 0;
  busy_ = false;
  hooks_.set_busy(false);
  refresh_marks();
  if (focus_before_ && focus_before_->isEnabled() && focus_before_->isVisible()) focus_before_->setFocus();
}

void ParamEditorEngine::when_line_free(std::function<void()> action, std::function<void()> give_up) {
  if (waiting_.empty() && line_free()) {
    action();
    return;
  }
  waiting_.push_back({std::move(action), std::move(give_up), tick_ms() + config_.line_wait_ms});
  wait_timer_.start();
}

void ParamEditorEngine::pump_waiting() {
  while (!waiting_.empty()) {
    if (line_free()) {
      auto w = std::move(waiting_.front());
      waiting_.pop_front();
      w.action();
      continue;
    }
    if (tick_ms() > waiting_.front().deadline_ms) {
      auto w = std::move(waiting_.front());
      waiting_.pop_front();
      if (w.give_up) w.give_up();
      continue;
    }
    return;
  }
  wait_timer_.stop();
}

void ParamEditorEngine::run_menu_operation(std::function<void()> operation) {
  if (st_.write_busy || busy_) return;
  when_line_free(std::move(operation));
}

// ---- Exchanges ----

bool ParamEditorEngine::read_block(const ParamBlock& block) {
  // What the menu read has taken so far is shown while this request is on
  // the line: the event is handled once the request has gone out.
  if (menu_read_ && !menu_read_->show_posted) {
    menu_read_->show_posted = true;
    QMetaObject::invokeMethod(this, &ParamEditorEngine::show_menu_read_so_far, Qt::QueuedConnection);
  }
  last_read_ok_ = link_.read_registers(station(), static_cast<uint16_t>(block.start), static_cast<uint16_t>(block.count));
  if (!last_read_ok_) return false;
  if (menu_read_) {
    // Between a reply and the next request nothing but the image.
    for (int k = 0; k < block.count; ++k) {
      const int reg = block.start + k;
      const int32_t v = link_.reply_word(k);
      take_value(reg, v, ValueSource::Drive);
      menu_read_->dump.emplace_back(reg, v);
    }
    return true;
  }
  show_reading();
  QStringList dump;
  for (int k = 0; k < block.count; ++k) {
    const int reg = block.start + k;
    const int32_t v = link_.reply_word(k);
    take_value(reg, v, ValueSource::Drive);
    dump << dump_line(reg, v);
  }
  append_lines(memo(dump_memo_, config_.dump_memo), dump);  // the block in one go
  return true;
}

bool ParamEditorEngine::read_group(int group, const std::vector<ParamBlock>& blocks) {
  bool ok = true;
  // Every block is asked for even after a refused one; the group shows only when all came.
  for (const auto& block : blocks) ok = read_block(block) && ok;
  if (ok && menu_read_) {
    menu_read_->groups.push_back(group);
  } else if (ok) {
    show_group(group, ValueSource::Drive);
  } else {
    log_failure(table_.groups[static_cast<size_t>(group)].read_fail);
    set_flag(config_.read_error, 1);
  }
  return ok;
}

void ParamEditorEngine::take_value(int reg, int32_t v, ValueSource source) {
  if (reg < 0 || reg >= kImageSize) return;
  image_[static_cast<size_t>(reg)] = v;
  set_source(reg, source);
}

std::vector<int> ParamEditorEngine::unknown_download_registers() const {
  std::vector<int> unknown;
  auto check = [&](int reg) {
    // A row the download sends only in its harmless value needs no source.
    if (const ParamRow* row = active_row(reg); row && row->reg == reg && row->has(kDownloadSafe)) return;
    if (!known(reg)) unknown.push_back(reg);
  };
  for (int g : groups_in_layout()) {
    if (!group_is_written(table_, g, layout_)) continue;
    for (const auto& block : write_blocks(table_, g, layout_))
      for (int k = 0; k < block.count; ++k) check(block.start + k);
    for (const ParamRow* row : download_singles(table_, g, layout_))
      for (int k = 0; k < row->reg_count(); ++k) check(row->reg + k);
  }
  return unknown;
}

bool ParamEditorEngine::refuse_unknown_download() {
  const std::vector<int> unknown = unknown_download_registers();
  if (unknown.empty()) return false;
  QStringList codes;
  for (int reg : unknown) {
    const ParamRow* row = active_row(reg);
    const QString code = row ? row->code : QString::number(reg);
    if (!codes.contains(code)) codes << code;
  }
  const qsizetype named = std::min<qsizetype>(codes.size(), 3);
  QString list = QStringList(codes.mid(0, named)).join(QStringLiteral("、"));
  if (codes.size() > named) list += QStringLiteral("等%1个参数").arg(codes.size());
  const QString line = config_.download_refusal.arg(list);
  set_flag(config_.write_error, 1);
  status(line);
  log_failure(line);
  return true;
}

int32_t ParamEditorEngine::download_value(const ParamRow& row, int32_t v) const {
  // A download never resets the drive or starts a self-learning run.
  if (row.has(kDownloadSafe) && v != row.safe_value) return row.safe_value;
  return v;
}

void ParamEditorEngine::after_accepted(const std::vector<int>& regs, ValueSource source) {
  int new_station = 0;
  for (int reg : regs) {
    // The drive holds what it accepted.
    set_source(reg, source);
    const ParamRow* row = active_row(reg);
    if (!row || row->reg != reg) continue;
    set_unconfirmed(*row, false);
    hooks_.value_passed(*row, image_[static_cast<size_t>(reg)], source);
    if (!row->has(kStation)) continue;
    const int32_t station = image_[static_cast<size_t>(reg)];
    const StationRefresh refresh = *config_.station_refresh;
    const bool every = (refresh == StationRefresh::AfterEveryWrite && source == ValueSource::Written) ||
                       (refresh == StationRefresh::AfterEveryWriteAndDownload &&
                        (source == ValueSource::Written || source == ValueSource::Downloaded));
    if (station != node_ || every) new_station = station;
  }
  if (new_station > 0) move_station(new_station);
}

void ParamEditorEngine::move_station(int to) {
  const int from = node_;
  renumber_node(st_, *config_.family, from, to);
  // What was read from the drive stays its own at the new address; nothing
  // left from another drive once there is.
  if (to != from) {
    for (Source& s : sources_) {
      if (s.node == to) s = {};
      if (s.node == from) s.node = to;
    }
    failed_read_.erase(to);
    if (const auto failed = failed_read_.find(from); failed != failed_read_.end()) {
      const uint64_t begun = failed->second;
      failed_read_.erase(failed);
      failed_read_[to] = begun;
    }
  }
  node_ = to;
  hooks_.station_changed(from, to);
  emit node_moved(from, to);
}

bool ParamEditorEngine::write_single(int reg, int32_t wire) {
  const bool ok = link_.write_register(station(), static_cast<uint16_t>(reg), wire);
  if (ok) {
    status(kWriteOk);
    log_success(kWriteOk, config_.single_lines_timed);
    if (reg >= 0 && reg < kImageSize) take_value(reg, wire, ValueSource::Written);
    after_accepted({reg}, ValueSource::Written);
  } else {
    status(kWriteFail);
    log_failure(kWriteFail, config_.single_lines_timed, config_.single_fail_suffix);
  }
  return ok;
}

bool ParamEditorEngine::write_confirmed(const ParamRow& row, const std::vector<int32_t>& values,
                                        const PickEffects* effects) {
  bool ok = true;
  for (size_t k = 0; k < values.size() && ok; ++k) ok = write_single(row.reg + static_cast<int>(k), values[k]);
  if (ok || row.reg < 0) return ok;
  const ExchangeOutcome write_outcome = link_.last_outcome();
  // A lost or garbled reply may hide a write the drive took: ask it what it
  // holds, so the field never shows a value the drive did not confirm.
  // Some rows read back the values that were set with them (a rating and its
  // current), so that nothing of the refused choice stays.
  const int count = std::max({row.reg_count(), row.readback_regs, 1});
  if (link_.read_registers(station(), static_cast<uint16_t>(row.reg), static_cast<uint16_t>(count))) {
    // The drive kept another value: what the pick changed with it goes back
    // too (the read-back then shows what it covers).
    if (effects && static_cast<int32_t>(link_.reply_word(0)) != values.front()) undo_effects(*effects);
    for (int k = 0; k < count; ++k)
      if (row.reg + k < kImageSize) take_value(row.reg + k, link_.reply_word(k), ValueSource::Drive);
    for (int k = 0; k < count; ++k) {
      const ParamRow* back = k == 0 ? &row : active_row(row.reg + k);
      if (!back || back->reg != row.reg + k) continue;
      put_row(*back);
      set_unconfirmed(*back, false);
      hooks_.value_passed(*back, image_[static_cast<size_t>(back->reg)], ValueSource::Drive);
    }
    if (chosen_rows_) apply_layout();
  } else {
    // Neither the write nor the read-back settled it: the row and all the
    // pick changed with it stay, marked together.
    const QString why = unconfirmed_hint(write_outcome, link_.last_outcome());
    set_unconfirmed(row, true, why);
    if (effects)
      for (const auto& r : effects->rows)
        if (row_active(table_.rows[r.row]))
          set_unconfirmed(table_.rows[r.row], true, why + QStringLiteral("（随%1一起改变）").arg(row.code));
  }
  refresh_marks();
  return false;
}

bool ParamEditorEngine::write_group(int group, bool download) {
  const GroupDef& def = table_.groups[static_cast<size_t>(group)];
  if (config_.group_write_takes_controls && !take_group(group)) {
    for (const ParamRow* row : group_rows(table_, group, layout_))
      if (row->has(kStation)) note_unwritten(row->reg);
    log_failure(def.write_fail);
    set_flag(config_.write_error, 1);
    return false;
  }
  bool ok = true;
  for (const auto& block : write_blocks(table_, group, layout_)) {
    std::vector<int32_t> values;
    std::vector<const ParamRow*> substituted;
    std::vector<int> regs;
    for (int k = 0; k < block.count; ++k) {
      const int reg = block.start + k;
      int32_t v = image_[static_cast<size_t>(reg)];
      if (const ParamRow* row = active_row(reg); row && row->reg == reg) {
        const int32_t safe = download_value(*row, v);
        if (safe != v) substituted.push_back(row);
        v = safe;
      }
      values.push_back(v);
      regs.push_back(reg);
    }
    const bool accepted = block.function == 6
                              ? link_.write_register(station(), static_cast<uint16_t>(block.start), values[0])
                              : link_.write_registers(station(), static_cast<uint16_t>(block.start), values);
    if (accepted) {
      for (const ParamRow* row : substituted) {
        image_[static_cast<size_t>(row->reg)] = row->safe_value;
        show_row(*row, ValueSource::Downloaded);
      }
      after_accepted(regs, ValueSource::Downloaded);
    } else {
      const ExchangeOutcome refused = link_.last_outcome();
      // One line per failed block where the blocks have their own texts, else one per group.
      if (ok || def.block_fail_texts) log_failure(block.fail_text);
      note_unwritten(block.start);
      ok = false;
      settle_unwritten(block.start, block.count, refused);
    }
  }
  if (!ok) set_flag(config_.write_error, 1);
  if (download)
    for (const ParamRow* row : download_singles(table_, group, layout_))
      for (int k = 0; k < row->reg_count(); ++k)
        if (!write_single(row->reg + k, image_[static_cast<size_t>(row->reg + k)])) {
          note_unwritten(row->reg + k);
          settle_unwritten(row->reg + k, 1, link_.last_outcome());
        }
  return ok;
}

bool ParamEditorEngine::drive_holds(int reg) const {
  if (reg < 0 || reg >= kImageSize) return false;
  const Source& s = sources_[static_cast<size_t>(reg)];
  return s.set && s.from != ValueSource::File && s.from != ValueSource::Entered && s.node == node_ &&
         s.drive == drive_ && !stale(reg);
}

void ParamEditorEngine::settle_unwritten(int start, int count, const ExchangeOutcome& write) {
  // What the drive held before still stands whether it took the write or not;
  // the other values (typed, from a file, another node's) are in doubt.
  std::vector<const ParamRow*> rows, doubtful;
  for (const ParamRow& row : table_.rows) {
    if (row.reg < start || row.reg >= start + count || !control_of(row) || !row_active(row)) continue;
    rows.push_back(&row);
    for (int k = 0; k < row.reg_count(); ++k)
      if (!drive_holds(row.reg + k)) {
        doubtful.push_back(&row);
        break;
      }
  }
  if (doubtful.empty()) return;
  // As after a refused single write: the fields show what the drive holds,
  // or, when it does not say, the values sent, marked until a read or an
  // accepted write settles them.
  if (link_.read_registers(station(), static_cast<uint16_t>(start), static_cast<uint16_t>(count))) {
    for (int k = 0; k < count; ++k) take_value(start + k, link_.reply_word(k), ValueSource::Drive);
    for (const ParamRow* row : rows) show_row(*row, ValueSource::Drive);
    if (chosen_rows_) apply_layout();
  } else {
    const QString why = unconfirmed_hint(write, link_.last_outcome());
    for (const ParamRow* row : doubtful) set_unconfirmed(*row, true, why);
  }
  refresh_marks();
}

void ParamEditorEngine::note_unwritten(int reg) {
  if (first_unwritten_ < 0) first_unwritten_ = reg;
}

bool ParamEditorEngine::read_menu(const QStringList& dump_header) {
  set_flag(config_.read_error, 0);
  Hold hold(*this);
  if (!hold) return false;
  // What this read does not take stays from an earlier one: unconfirmed if it fails.
  const uint64_t begun = ++stamp_;
  bool ok = true;
  try {
    status(QStringLiteral("开始读取菜单"));
    clear_dump(dump_header);
    // The requests are planned before the first goes out: between a reply
    // and the next request only the image is kept.
    std::vector<std::pair<int, std::vector<ParamBlock>>> plan;
    size_t registers = 0;
    for (int g : groups_in_layout()) {
      plan.emplace_back(g, read_blocks(table_, g, layout_));
      for (const ParamBlock& b : plan.back().second) registers += static_cast<size_t>(b.count);
    }
    menu_read_.emplace();
    menu_read_->dump.reserve(registers);
    for (const auto& [g, blocks] : plan)
      if (!read_group(g, blocks)) {
        ok = false;
        break;
      }
  } catch (const std::exception&) {
    ok = false;
  }
  try {
    show_menu_read_so_far();
    if (menu_read_ && menu_read_->show_failed) ok = false;
  } catch (const std::exception&) {
    ok = false;
  }
  menu_read_.reset();
  if (ok)
    failed_read_.erase(node_);
  else
    failed_read_[node_] = begun;
  refresh_marks();
  const QString result = ok ? QStringLiteral("菜单读取成功") : QStringLiteral("菜单读取失败");
  // Values left from the node shown before are named, not only marked.
  const int other = ok ? 0 : other_node_shown();
  const QString shown = other > 0 ? result + QStringLiteral("，标记的参数仍是节点%1的值").arg(other) : result;
  config_.summary_panel_timed ? set_panel_text(panel(), timed_line(node_line(node_, shown))) : status(shown);
  ok ? log_success(result) : log_failure(result);
  return ok;
}

bool ParamEditorEngine::download() {
  set_flag(config_.write_error, 0);
  first_unwritten_ = -1;
  Hold hold(*this);
  if (!hold) return false;
  if (config_.download_needs_known_values && refuse_unknown_download()) return false;
  bool ok = true;
  try {
    status(QStringLiteral("开始下载菜单"));
    for (int g : groups_in_layout()) {
      if (!group_is_written(table_, g, layout_)) continue;
      if (!write_group(g, true)) {
        ok = false;
        if (config_.download_stops_on_failure) break;
      }
    }
  } catch (const std::exception&) {
    ok = false;
  }
  // Any write refused or unanswered, a single one too, fails the download,
  // and its line names where the drive stopped taking the menu.
  if (first_unwritten_ >= 0) ok = false;
  QString result = ok ? QStringLiteral("菜单下载成功") : QStringLiteral("菜单下载失败");
  if (!ok) {
    set_flag(config_.write_error, 1);
    if (first_unwritten_ >= 0) {
      const ParamRow* row = active_row(first_unwritten_);
      result += QStringLiteral("：首个未写入的是寄存器%1").arg(first_unwritten_);
      if (row) result += QStringLiteral("（%1）").arg(row->code);
    }
    result += QStringLiteral("**");
  }
  config_.summary_panel_timed ? set_panel_text(panel(), timed_line(node_line(node_, result))) : status(result);
  ok ? log_success(result) : log_failure(result);
  return ok;
}

// ---- Status and logs ----

void ParamEditorEngine::show_menu_read_so_far() {
  if (!menu_read_) return;
  MenuRead& read = *menu_read_;
  read.show_posted = false;
  try {
    if (!read.reading_shown) {
      read.reading_shown = true;
      show_reading();
    }
    if (!read.dump.empty()) {
      QStringList dump;
      dump.reserve(static_cast<qsizetype>(read.dump.size()));
      for (const auto& [reg, v] : read.dump) dump << dump_line(reg, v);
      read.dump.clear();
      append_lines(memo(dump_memo_, config_.dump_memo), dump);
    }
    // Only groups whose blocks were all accepted; the layout follows their
    // values once.
    const std::vector<int> groups = std::move(read.groups);
    read.groups.clear();
    for (int g : groups)
      for (const ParamRow* row : group_rows(table_, g, layout_)) show_row(*row, ValueSource::Drive);
    if (chosen_rows_ && !groups.empty()) apply_layout();
    // The marks of the rows just shown; the others (ranges that follow these
    // values among them) when the read ends.
    if (form_->isVisible())
      for (int g : groups)
        for (const ParamRow* row : group_rows(table_, g, layout_))
          update_look(static_cast<size_t>(row - table_.rows.data()));
  } catch (const std::exception&) {
    // Runs from the event loop while a request is out: the read says it failed.
    read.show_failed = true;
  }
}

void ParamEditorEngine::show_reading() {
  const QString reading = QStringLiteral("正在读取参数...");
  set_panel_text(panel(), config_.reading_line_names_node ? node_line(node_, reading) : reading);
}

QLabel* ParamEditorEngine::panel() {
  if (!panel_) panel_ = control<QLabel>(form_, "Panel1");
  return panel_;
}

QPlainTextEdit* ParamEditorEngine::memo(QPointer<QPlainTextEdit>& held, const char* name) {
  if (!held) held = control<QPlainTextEdit>(form_, name);
  return held;
}

void ParamEditorEngine::status(const QString& message) { set_panel_text(panel(), node_line(node_, message)); }

void ParamEditorEngine::log_success(const QString& message, bool timed) {
  const QString line = node_line(node_, message);
  append_line(memo(success_memo_, config_.success_memo), timed ? timed_line(line) : line);
}

void ParamEditorEngine::log_failure(const QString& message, bool timed, const QString& suffix) {
  const QString line = node_line(node_, message) + suffix;
  append_line(memo(failure_memo_, config_.failure_memo), timed ? timed_line(line) : line);
}

void ParamEditorEngine::clear_dump(const QStringList& header) {
  auto* dump = memo(dump_memo_, config_.dump_memo);
  clear_log(dump);
  append_lines(dump, header);
}

void ParamEditorEngine::set_flag(uint8_t DriveLinkState::*flag, uint8_t v) {
  if (flag) st_.*flag = v;
}

}  // namespace velmo
