// The inverter control window (TForm9) against simulated inverters: run
// commands with the bus takeover, the stop value, status words by model
// type, fault codes and deferred commands. Replies that go wrong: the fault
// matrix (tests/common).
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "common/status_lamp.h"
#include "inverter/inverter_control_window.h"
#include "link/clock_timer.h"
#include "main/main_window.h"
#include "sim/inverter_station.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::read;
using testing::write;

std::vector<Frame> takeover(int a) { return {write(a, 4, 4), write(a, 5, 4), write(a, 8, 8), write(a, 9, 8)}; }

struct InverterControlTest : ::testing::Test {
  velmo::testing::AppOnSim t;
  InverterControlWindow* w = nullptr;

  void SetUp() override {
    t.sim.add(sim::make_inverter(1, 4015));  // type 0: six status words, stop value 0
    t.sim.add(sim::make_inverter(2, 2100));  // type 2: four status words, stop value 3
    t.search(2);
    ASSERT_EQ(t.st().bpq_count, 2);
    w = dynamic_cast<InverterControlWindow*>(t.form("TForm9"));
    t.app.main_window().N8Click();
    t.sim.clear_journal();
  }
  template <typename T>
  T* ctl(const char* name) { return control<T>(w, name); }
  void click(const char* name) { testing::click(w, name); }
  void select(int station) { testing::select_node(ctl<QComboBox>("ComboBox1"), station); }
  bool idle() {
    const DriveLinkState& s = t.st();
    return s.read_busy == 0 && s.write_busy == 0 && s.sending == 0 && w->pending().empty();
  }
  void settle() { ASSERT_TRUE(testing::wait_for([&] { return idle(); })); }
  QString panel() { return ctl<QLabel>("Panel1")->text(); }
  sim::InverterStation& station(int a) { return dynamic_cast<sim::InverterStation&>(*t.sim.station(a)); }
};

TEST_F(InverterControlTest, RunAndStopTakeTheDriveOverOnceAndStopByItsVersion) {
  struct Case {
    int station;
    int status_words;
    uint16_t stop;
  };
  for (const Case& c : {Case{1, 6, 0}, Case{2, 4, 3}}) {
    SCOPED_TRACE(c.station);
    select(c.station);
    t.sim.clear_journal();
    click("Button3");
    click("Button5");
    std::vector<Frame> want = takeover(c.station);
    want.push_back(write(c.station, 0x1000, 1));
    want.push_back(write(c.station, 0x1000, c.stop));
    EXPECT_EQ(testing::writes_of(t.sim), want);
    EXPECT_EQ(t.st().bpq_run_state[c.station], 0);
    EXPECT_EQ(t.st().bpq_restore_flags[c.station - 1], 1);

    t.sim.clear_journal();
    click("Button7");
    EXPECT_EQ(testing::frames_of(t.sim), (std::vector<Frame>{read(c.station, 0x2000, c.status_words), read(c.station, 0x3000, 1)}));
    EXPECT_EQ(panel(), QString("节点%1：状态信息读取成功！！").arg(c.station));
    EXPECT_EQ(ctl<QLineEdit>("Edit7")->text().isEmpty(), c.status_words == 4);
    EXPECT_EQ(ctl<QLineEdit>("Edit5")->text(), "无故障");
  }
}

TEST_F(InverterControlTest, AFailedTakeoverStillSendsTheCommandAndIsTriedAgainNextTime) {
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 5));
  click("Button3");
  std::vector<Frame> want = takeover(1);
  want.push_back(write(1, 0x1000, 1));
  EXPECT_EQ(testing::writes_of(t.sim), want);
  EXPECT_EQ(t.st().bpq_rs485_ok[0], 0);
  EXPECT_EQ(t.st().bpq_restore_flags[0], 1);
  t.sim.clear_journal();
  click("Button3");
  EXPECT_EQ(testing::writes_of(t.sim), want);
  EXPECT_EQ(t.st().bpq_rs485_ok[0], 1);
}

TEST_F(InverterControlTest, FaultCodesAboveTheTableShareItsLastText) {
  station(1).set_fault(200);
  click("Button7");
  EXPECT_EQ(ctl<QLineEdit>("Edit5")->text(), "Er-199");
  EXPECT_EQ(ctl<QLineEdit>("Edit6")->text(), "电流偏置电压异常");
  EXPECT_TRUE(control<StatusLamp>(w, "Shape4")->lit());
}

TEST_F(InverterControlTest, ACommandClickedDuringAReadGoesToItsOwnNodeAfterIt) {
  t.sim.set_reply_delay_ms(150);
  uint8_t shown = 0;
  ClockTimer::singleShot(30, w, [&] {
    select(2);
    click("Button3");
    shown = t.st().bpq_pending_cmd;
    select(1);
  });
  click("Button7");
  settle();
  EXPECT_EQ(shown, RunControlWindow::kForward);
  std::vector<Frame> want = {read(1, 0x2000, 6), read(1, 0x3000, 1)};
  for (const Frame& f : takeover(2)) want.push_back(f);
  want.push_back(write(2, 0x1000, 1));
  EXPECT_EQ(testing::frames_of(t.sim), want);
  EXPECT_EQ(t.st().bpq_run_state[2], 1);
}

}  // namespace
}  // namespace velmo
