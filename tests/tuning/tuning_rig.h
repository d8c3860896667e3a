#pragma once
// The program on a simulated line with the gain-tuning window open.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "link/clock_timer.h"

#include "main/main_window.h"
#include "support/app_on_sim.h"
#include "tuning/gain_tuning_window.h"

namespace velmo {

class GainTuningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.connect_servos());
    rig.app.main_window().N12Click();
    ASSERT_TRUE(form->isVisible());
  }
  // Puts the window on a station as the opener does (no waits).
  void use(uint8_t station) {
    auto* nodes = control<QComboBox>(form, "ComboBox2");
    nodes->setCurrentIndex(nodes->findText(QString::number(station)));
    tstate().station = station;
    tstate().servo_subtype = station == 1 ? 1 : 2;
    rig.sim.clear_journal();
  }
  tuning::TuningState& tstate() { return window->tuning_state(); }
  QLineEdit* edit(const char* name) { return control<QLineEdit>(form, name); }
  void enter(const char* name, const char* text) {
    edit(name)->setFocus();
    edit(name)->setText(QString::fromLatin1(text));
    QTest::keyClick(edit(name), Qt::Key_Return);
  }
  QString last(const char* memo) {
    const QStringList lines = testing::memo_lines(form, memo);
    return lines.isEmpty() ? QString() : lines.back().section(QStringLiteral("  "), 0, 0);
  }

  // Moves run on the timeline as fast as the machine allows; a long reply
  // timeout costs nothing there.
  void fast_moves() { rig.st().comm_timeout_ms = 1000; }
  // A stroke of revolutions at rate (pulses per ms, a multiple of 10), to be
  // written before the next move.
  void stroke(int revolutions, int rate) {
    edit("Edit8")->setText(QString::number(revolutions));
    edit("Edit67")->setText(QStringLiteral("1"));
    edit("Edit68")->setText(QString::number(rate));
    window->hidden.test_pulses = static_cast<uint32_t>(revolutions) * 131000;
    tstate().move_params_changed = 1;
  }

  // Runs `action` inside the program's waits once `condition` holds.
  void when(std::function<bool()> condition, std::function<void()> action) {
    auto* poll = new ClockTimer(form);
    QObject::connect(poll, &ClockTimer::timeout, form, [poll, condition, action] {
      if (!condition()) return;
      poll->stop();
      poll->deleteLater();
      action();
    });
    poll->start(1);
  }

  testing::AppOnSim rig;
  QWidget* form = rig.app.form("TForm3");
  GainTuningWindow* window = qobject_cast<GainTuningWindow*>(form);
};

}  // namespace velmo
