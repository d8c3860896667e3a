#pragma once
#include "common/menu_editor_window.h"

namespace velmo {

// The inverter menu editor: reads, shows, edits, writes, downloads, saves and
// reloads the whole parameter set of one inverter, shaped by the inverter's
// model type (0..4) and rating.
class InverterMenuEditor : public MenuEditorWindow {
  Q_OBJECT
 public:
  explicit InverterMenuEditor(AppContext& ctx, QWidget* parent = nullptr);

  // The opener's own steps: model type and rating, all groups, read menu.
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
  void ComboBox1Click() { node_chosen(); }
  // Model type of the chosen inverter: controls, hints, rating lists.
  void bpqmenuset();
  // Rating lists, rating text, voltage class and current bounds of the power code.
  void bpq_power_table();

  // The parameter image, and the single write and block read of the staged
  // link fields (param_reg / param_value, block_start / block_count).
  std::vector<int32_t>& bpq_param() { return engine_->image(); }
  bool bpq_param_write_one();
  bool bpq_param_read_block();
  uint8_t bpq_read_ok() const { return engine_->last_read_ok() ? 1 : 0; }
  int model_type() const { return engine_->layout(); }

 protected:
  void take_node() override;
  QStringList dump_header() const override;
  MenuFileContent menu_content() const override;
  std::optional<QString> file_refusal(const MenuFileParse& parsed) const override;
  void report_save(bool ok, const QString& message) override;
  void report_open(bool ok, const QString& message) override;

  // ParamEditorHooks
  void value_picked(const ParamRow& row, int32_t wire) override;
  void value_passed(const ParamRow& row, int32_t wire, ValueSource source) override;

 private:
  // The current bounds of the power at `index` of the rating lists.
  void take_power(int index);
  void apply_type_texts();
};

}  // namespace velmo
