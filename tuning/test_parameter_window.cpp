#include "tuning/test_parameter_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "common/center_on_screen.h"
#include "tuning/numeric_field.h"

namespace velmo {

namespace {
// The shown fields of group "阈值"; the others are settings in Hidden.
struct ShownField {
  tuning::FieldRule rule;
  const char* label;
  const char* unit;
  const char* value;
};
constexpr ShownField kShown[] = {
    {{"Edit2", 150, 350, "150", false, 3, "200~350"}, "最大转矩上限值：", "%", "240"},
    {{"Edit9", 5, 200, "5", false, 3, "5~200"}, "位置超调上限值：", "", "20"},
    {{"Edit11", 40, 100, "60", false, 3, "40~100"}, "增益搜索转矩初始值：", "", "50"},
};
}  // namespace

TestParameterWindow::TestParameterWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm22", QStringLiteral("测试参数设置"), QSize(520, 260), parent) {
  auto* group = new QGroupBox(QStringLiteral("阈值"), this);
  group->setGeometry(10, 10, 500, 200);
  int y = 30;
  for (const ShownField& f : kShown) {
    make_label(group, "", QString::fromUtf8(f.label), QRect(20, y, 200, 28));
    auto* e = make_edit(group, f.rule.name, QRect(230, y, 100, 28), QString::fromLatin1(f.value));
    new tuning::NumericField(e, f.rule);
    make_label(group, "", QString::fromUtf8(f.unit), QRect(335, y, 30, 28));
    y += 50;
  }
}

int TestParameterWindow::overshoot_limit() const { return tuning::field_int(control<QLineEdit>(this, "Edit9")); }

// Not part of the navigation: closing only hides it.
void TestParameterWindow::closeEvent(QCloseEvent* event) { event->accept(); }

void TestParameterWindow::showEvent(QShowEvent* event) {
  VelmoWindow::showEvent(event);
  center_on_screen(this);
}

}  // namespace velmo
