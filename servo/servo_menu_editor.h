#pragma once
#include <array>
#include <memory>

#include "common/file_chooser.h"
#include "common/menu_file.h"
#include "common/param_editor_engine.h"
#include "common/velmo_window.h"

class QComboBox;
class QTabWidget;

namespace velmo {

// The servo menu editor: reads, shows, edits, writes, downloads, saves and
// reloads the whole parameter set of one servo drive, in the register layout
// its menu variant selects.
class ServoMenuEditor : public VelmoWindow, private ParamEditorHooks {
  Q_OBJECT
 public:
  explicit ServoMenuEditor(AppContext& ctx, QWidget* parent = nullptr);

  // The opener's own steps: layout, bus-type variant, all groups, read menu.
  void on_open() override;

  void Button1Click();  // 退出
  void Button2Click();  // 读取菜单
  void Button5Click();  // 下载菜单
  void Button4Click();  // 菜单存盘
  void Button3Click();  // 打开菜单文件
  void Button9Click();  // 保存记录
  void Button8Click();  // 清空记录
  void Button6Click();  // 全选 (hidden)
  void Button7Click();  // 全不 (hidden)
  void ComboBox45Click();
  void sfmenuset();

  // The parameter image, and the single write and block read of the staged
  // link fields (param_reg / param_value, block_start / block_count).
  std::vector<int32_t>& sf_param() { return engine_->image(); }
  bool RS485_data_modify();
  bool sf_param_read_block();
  uint8_t sf_read_ok() const { return engine_->last_read_ok() ? 1 : 0; }

  ParamEditorEngine& engine() { return *engine_; }
  int variant() const { return static_cast<int>(variant_); }
  const std::array<uint8_t, 11>& group_select() const { return sf_group_select_; }
  void set_file_chooser(std::unique_ptr<FileChooser> chooser) { chooser_ = std::move(chooser); }

 protected:
  bool exit_guard() override;

 private:
  void build_frame();
  void take_node();  // node, variant and layout from ComboBox45
  void show_layout();
  void show_menu_file(const MenuFileContent& content);

  // ParamEditorHooks
  ParamRange dynamic_range(const ParamRow& row) override;
  void value_passed(const ParamRow& row, int32_t wire, ValueSource source) override;
  void set_busy(bool busy) override;

  std::unique_ptr<ParamEditorEngine> engine_;
  std::unique_ptr<FileChooser> chooser_;
  QComboBox* node_list_ = nullptr;
  QTabWidget* pages_ = nullptr;
  uint32_t variant_ = 1;
  std::array<uint8_t, 11> sf_group_select_{};
};

// Power text of a drive by its program version (FB-01) div 100.
QString servo_power_text(int program_version);

}  // namespace velmo
