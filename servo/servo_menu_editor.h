#pragma once
#include "common/menu_editor_window.h"

namespace velmo {

// The servo menu editor: reads, shows, edits, writes, downloads, saves and
// reloads the whole parameter set of one servo drive, in the register layout
// its menu variant selects.
class ServoMenuEditor : public MenuEditorWindow {
  Q_OBJECT
 public:
  explicit ServoMenuEditor(AppContext& ctx, QWidget* parent = nullptr);

  // The opener's own steps: layout, bus-type variant, all groups, read menu.
  void on_open() override;

  void Button1Click() { leave(); }           // 退出
  void Button2Click() { read_menu(); }       // 读取菜单
  void Button5Click() { download_menu(); }   // 下载菜单
  void Button4Click() { save_menu(); }       // 菜单存盘
  void Button3Click() { open_menu_file(); }  // 打开菜单文件
  void Button9Click() { save_records(); }    // 保存记录
  void Button8Click() { clear_records(); }   // 清空记录
  void Button6Click() { select_all_groups(true); }   // 全选 (hidden)
  void Button7Click() { select_all_groups(false); }  // 全不 (hidden)
  void ComboBox45Click() { node_chosen(); }
  void sfmenuset();

  // The parameter image, and the single write and block read of the staged
  // link fields (param_reg / param_value, block_start / block_count).
  std::vector<int32_t>& sf_param() { return engine_->image(); }
  bool RS485_data_modify();
  bool sf_param_read_block();
  uint8_t sf_read_ok() const { return engine_->last_read_ok() ? 1 : 0; }

  int variant() const { return static_cast<int>(variant_); }

 protected:
  void take_node() override;  // node, variant and layout from ComboBox45
  // The variant shown was the drive's that went away.
  void station_gone(uint8_t station) override;
  std::optional<QString> file_refusal(const MenuFileParse& parsed) const override;

  // ParamEditorHooks
  void value_passed(const ParamRow& row, int32_t wire, ValueSource source) override;

 private:
  uint32_t variant_ = 1;
};

// Power text of a drive by its program version (FB-01) div 100.
QString servo_power_text(int program_version);

}  // namespace velmo
