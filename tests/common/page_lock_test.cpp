// A menu read locks the editor's page in view: the page refuses the user's
// keys and clicks and is drawn faded while the read runs, and is open again
// after it; its controls never change their enabled state for it. The servo
// editor's pages are tab sheets, the speed controller's one plain area.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <optional>

#include "common/log_view.h"
#include "common/menu_editor_window.h"
#include "main/main_window.h"
#include "sim/stations.h"
#include "support/app_on_sim.h"
#include "support/page_probe.h"
#include "support/wait.h"

namespace velmo {
namespace {

using testing::darkest_grey;
using testing::opens_on_click;
using testing::takes_keys;

struct LockedPage {
  const char* form;
  const char* page;
  const char* field;
  const char* list;
  const char* traffic;
};

// What the page is like at one moment.
struct PageState {
  bool keys = false;
  bool clicks = false;
  bool focus = false;  // a click on the field as the user makes it (through the window) focuses it
  int darkest = 0;
};

bool takes_focus_on_click(QLineEdit* field, QWidget* elsewhere) {
  elsewhere->setFocus();
  QWidget* window = field->window();
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, field->mapTo(window, field->rect().center()));
  return window->focusWidget() == field;
}

struct EnabledChanges : QObject {
  int count = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::EnabledChange) ++count;
    return false;
  }
};

void check_read_locks_the_page(testing::AppOnSim& t, const LockedPage& p) {
  auto* editor = dynamic_cast<MenuEditorWindow*>(t.form(p.form));
  ASSERT_NE(editor, nullptr);
  auto* page = t.ctl<QWidget>(p.form, p.page);
  auto* field = t.ctl<QLineEdit>(p.form, p.field);
  auto* list = t.ctl<QComboBox>(p.form, p.list);
  auto* traffic = qobject_cast<LogView*>(t.ctl<QPlainTextEdit>(p.form, p.traffic));
  ASSERT_TRUE(page && field && list && traffic) << p.form;
  auto state = [&] {
    return PageState{takes_keys(field), opens_on_click(list), takes_focus_on_click(field, traffic), darkest_grey(page)};
  };

  const PageState open = state();
  EXPECT_TRUE(open.keys) << p.form;
  EXPECT_TRUE(open.clicks) << p.form;
  EXPECT_TRUE(open.focus) << p.form;
  EXPECT_LT(open.darkest, 60) << p.form << ": black text on the open page";

  EnabledChanges changes;
  for (QWidget* w : page->findChildren<QWidget*>()) w->installEventFilter(&changes);
  page->installEventFilter(&changes);
  std::optional<PageState> during;
  QObject context;
  QObject::connect(traffic, &LogView::line_added, &context, [&] {
    if (!during) during = state();  // at the first request
  });
  editor->read_menu();
  ASSERT_TRUE(testing::wait_for([&] { return t.st().write_busy == 0 && !editor->engine().busy(); }));
  ASSERT_TRUE(during.has_value()) << p.form;
  EXPECT_FALSE(during->keys) << p.form;
  EXPECT_FALSE(during->clicks) << p.form;
  EXPECT_FALSE(during->focus) << p.form << ": a click focuses nothing on the locked page";
  EXPECT_GT(during->darkest, open.darkest + 60) << p.form << ": the locked page is faded";
  EXPECT_EQ(changes.count, 0) << p.form;

  const PageState after = state();
  EXPECT_TRUE(after.keys) << p.form;
  EXPECT_TRUE(after.clicks) << p.form;
  EXPECT_TRUE(after.focus) << p.form;
  EXPECT_EQ(after.darkest, open.darkest) << p.form;
}

TEST(PageLock, AMenuReadLocksThePageInViewAndReleasesItAfterwards) {
  testing::AppOnSim t;
  t.sim.add(sim::make_servo(1, 6101, 101));
  t.sim.add(sim::make_speed_controller(2));
  t.search(2);
  ASSERT_EQ(t.st().connected, 1);
  t.app.main_window().N5Click();
  check_read_locks_the_page(t, {"TForm2", "TabSheet1", "Edit1", "ComboBox1", "Memo1"});
  t.app.main_window().N13Click();
  check_read_locks_the_page(t, {"TForm18", "ParamArea", "Edit1", "ComboBox3", "Memo1"});
}

}  // namespace
}  // namespace velmo
