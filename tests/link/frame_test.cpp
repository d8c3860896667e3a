#include <gtest/gtest.h>

#include <vector>

#include "link/modbus_crc.h"
#include "link/modbus_frame.h"

namespace velmo {
namespace {

std::vector<uint8_t> with_crc(std::vector<uint8_t> frame) {
  frame.resize(frame.size() + 2);
  append_crc(frame.data(), frame.size() - 2);
  return frame;
}

TEST(ModbusCrc, KnownVectors) {
  const std::vector<uint8_t> request{0x01, 0x03, 0x00, 0xAB, 0x00, 0x01};
  EXPECT_EQ(modbus_crc16(request.data(), request.size()), 0xEAF5);
  EXPECT_EQ(modbus_crc16(nullptr, 0), 0xFFFF);

  const std::vector<uint8_t> framed = with_crc(request);
  EXPECT_EQ(framed[6], 0xF5);  // low byte first on the wire
  EXPECT_EQ(framed[7], 0xEA);
  EXPECT_TRUE(frame_crc_ok(framed.data(), framed.size()));
  std::vector<uint8_t> damaged = framed;
  damaged[3] ^= 0x01;
  EXPECT_FALSE(frame_crc_ok(damaged.data(), damaged.size()));
  EXPECT_FALSE(frame_crc_ok(framed.data(), 2));
}

TEST(ModbusFrame, HexLineIsUpperCaseWithTrailingBlanks) {
  const std::vector<uint8_t> bytes{0x01, 0xAB, 0x0F, 0x00};
  EXPECT_EQ(hex_line(bytes.data(), bytes.size()), "01 AB 0F 00 ");
  EXPECT_EQ(hex_line(nullptr, 0), "");
}

TEST(ModbusFrame, ReplyLengthAndCompleteness) {
  const std::vector<uint8_t> read_reply = with_crc({0x01, 0x03, 0x04, 0x00, 0x0A, 0xFF, 0xF6});
  const std::vector<uint8_t> write_reply = with_crc({0x02, 0x06, 0x00, 0x10, 0x12, 0x34});
  const std::vector<uint8_t> multi_reply = with_crc({0x03, 0x10, 0x00, 0x20, 0x00, 0x02});
  const std::vector<uint8_t> exception = with_crc({0x01, 0x83, 0x02});
  std::vector<uint8_t> bad_crc = read_reply;
  bad_crc[bad_crc.size() - 1] ^= 0xFF;
  std::vector<uint8_t> extra = read_reply;
  extra.push_back(0x00);

  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t held;
    size_t expected_length;
    bool complete;
  };
  const std::vector<Row> rows{
      {"03 with byte count", read_reply, read_reply.size(), 9, true},
      {"06 echo", write_reply, write_reply.size(), 8, true},
      {"16 reply", multi_reply, multi_reply.size(), 8, true},
      {"exception", exception, exception.size(), 5, true},
      {"03 short of its byte count", read_reply, 6, 9, false},
      {"03 before the byte count", read_reply, 2, 0, false},
      {"a lone byte", read_reply, 1, 0, false},
      {"bad CRC", bad_crc, bad_crc.size(), 9, false},
      {"one byte too many", extra, extra.size(), 9, false},
      {"unknown function", with_crc({0x01, 0x41, 0x00}), 5, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(expected_reply_length(row.bytes.data(), row.held), row.expected_length);
    EXPECT_EQ(is_complete_reply(row.bytes.data(), row.held), row.complete);
  }
}

TEST(ModbusFrame, RequestLength) {
  const std::vector<uint8_t> read = with_crc({0x01, 0x03, 0x00, 0x00, 0x00, 0x02});
  const std::vector<uint8_t> multi = with_crc({0x01, 0x10, 0x00, 0x20, 0x00, 0x02, 0x04, 0, 1, 0, 2});
  EXPECT_EQ(expected_request_length(read.data(), read.size()), 8u);
  EXPECT_EQ(expected_request_length(multi.data(), 6), 0u);
  EXPECT_EQ(expected_request_length(multi.data(), multi.size()), multi.size());
}

TEST(ModbusFrame, SignedValuesTravelAsTwosComplement) {
  EXPECT_EQ(value_hi(-2), 0xFF);
  EXPECT_EQ(value_lo(-2), 0xFE);
  const uint8_t bytes[] = {0x12, 0x34};
  EXPECT_EQ(word_at(bytes), 0x1234);
}

}  // namespace
}  // namespace velmo
