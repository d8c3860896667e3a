#pragma once
// The inverter control window (TForm9) opened from the menu on a line of two
// simulated inverters: station 1 of model type 0 (six status words, every
// status field used, stop value 0), station 2 of type 2 (four status words,
// Edit7 and Edit8 not used, stop value 3).
#include <QComboBox>
#include <QLabel>
#include <gtest/gtest.h>

#include "inverter/inverter_control_window.h"
#include "main/main_window.h"
#include "sim/inverter_station.h"
#include "support/app_on_sim.h"

namespace velmo::testing {

struct InverterControlRig : ::testing::Test {
  AppOnSim t;
  InverterControlWindow* w = nullptr;

  void SetUp() override {
    t.sim.add(sim::make_inverter(1, 4015));
    t.sim.add(sim::make_inverter(2, 2100));
    t.search(2);
    ASSERT_EQ(t.st().bpq_count, 2);
    w = dynamic_cast<InverterControlWindow*>(t.form("TForm9"));
    t.app.main_window().N8Click();
    t.sim.clear_journal();
  }
  template <typename T>
  T* ctl(const char* name) { return control<T>(w, name); }
  void click(const char* name) { testing::click(w, name); }
  void select(int station) { select_node(ctl<QComboBox>("ComboBox1"), station); }
  QString panel() { return ctl<QLabel>("Panel1")->text(); }
};

}  // namespace velmo::testing
