// An independent peer: a libmodbus RTU slave answers our master's 03, 06 and
// 16 requests, so our frames are what any Modbus device expects.
#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <thread>

#include "drivelink/drive_link.h"
#include "support/pty_peer.h"

namespace velmo {
namespace {

class LibmodbusSlave {
 public:
  explicit LibmodbusSlave(const std::string& device) {
    ctx_ = modbus_new_rtu(device.c_str(), 38400, 'E', 8, 1);
    modbus_set_slave(ctx_, 7);
    mapping_ = modbus_mapping_new(0, 0, 0x200, 0);
    for (int r = 0; r < 0x200; ++r) mapping_->tab_registers[r] = static_cast<uint16_t>(1000 + r);
    connected_ = modbus_connect(ctx_) == 0;
    // Wake up now and then to see whether the test is over.
    modbus_set_indication_timeout(ctx_, 0, 100000);
    thread_ = std::thread([this] { serve(); });
  }
  ~LibmodbusSlave() {
    stop_ = true;
    thread_.join();
    modbus_close(ctx_);
    modbus_mapping_free(mapping_);
    modbus_free(ctx_);
  }
  bool connected() const { return connected_; }
  uint16_t reg(int r) const { return mapping_->tab_registers[r]; }

 private:
  void serve() {
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stop_) {
      const int n = modbus_receive(ctx_, query);
      if (n > 0) modbus_reply(ctx_, query, n, mapping_);
    }
  }
  modbus_t* ctx_ = nullptr;
  modbus_mapping_t* mapping_ = nullptr;
  bool connected_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(LibmodbusPeer, SlaveAnswersOurReadsAndWrites) {
  testing::PtyBridge bridge;
  LibmodbusSlave slave(bridge.left());
  ASSERT_TRUE(slave.connected());

  DriveLink link;
  link.Comm1.CommName = QString::fromStdString(bridge.right());
  link.Comm1.OpenPort();
  link.st.comm_timeout_ms = 1000;

  ASSERT_TRUE(link.read_registers(7, 0x00AB, 3));
  EXPECT_EQ(link.reply_word(0), 1000 + 0xAB);
  EXPECT_EQ(link.reply_word(2), 1000 + 0xAD);

  ASSERT_TRUE(link.write_register(7, 0x0010, -2));
  EXPECT_EQ(slave.reg(0x10), 0xFFFE);
  link.st.cmd_reg = 0x0011;
  link.st.cmd_value = 4660;
  link.command_send(7);
  EXPECT_EQ(link.st.cmd_fail, 0);
  EXPECT_EQ(slave.reg(0x11), 4660);

  ASSERT_TRUE(link.write_registers(7, 0x0100, {1, 65535, -300}));
  EXPECT_EQ(slave.reg(0x100), 1);
  EXPECT_EQ(slave.reg(0x101), 65535);
  EXPECT_EQ(slave.reg(0x102), static_cast<uint16_t>(-300));

  // A register the slave does not have: the exception is seen, not accepted.
  link.read_registers(7, 0x0300, 1);
  EXPECT_FALSE(link.accepted(0x03));
  EXPECT_TRUE(link.accepted(0x83));
  link.Comm1.ClosePort();
}

}  // namespace
}  // namespace velmo
