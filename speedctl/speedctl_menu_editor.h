#pragma once
#include "common/menu_editor_window.h"

namespace velmo {

// The speed-controller menu editor: reads, shows, edits, writes, downloads,
// saves and reloads the parameter set of one bus-type speed controller.
class SpeedCtlMenuEditor : public MenuEditorWindow {
  Q_OBJECT
 public:
  explicit SpeedCtlMenuEditor(AppContext& ctx, QWidget* parent = nullptr);

  std::vector<int32_t>& tsq_param() { return engine_->image(); }
  uint8_t tsq_read_ok() const { return engine_->last_read_ok() ? 1 : 0; }

  // Another node chosen: it becomes the editor's node; nothing is read.
  void node_chosen() override;

 protected:
  std::optional<QString> file_refusal(const MenuFileParse& parsed) const override;
  void show_menu_file(const MenuFileContent& content) override;

  // ParamEditorHooks
  bool pick_allowed(const ParamRow& row, int32_t wire) override;
  void value_picked(const ParamRow& row, int32_t wire) override;
  void value_passed(const ParamRow& row, int32_t wire, ValueSource source) override;
};

}  // namespace velmo
