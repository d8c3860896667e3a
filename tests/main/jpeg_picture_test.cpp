// The main window's picture decoder: the good picture, and damaged data that
// must give an empty picture instead of ending the program.
#include <QColor>
#include <gtest/gtest.h>

#include "main/jpeg_picture.h"

namespace velmo {
namespace {

TEST(JpegPicture, DecodesTheCompiledInPicture) {
  const QImage image = decode_jpeg(main_window_picture());
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(480, 800));
  // Light sky at the top, dark blue at the bottom.
  const QColor top = image.pixelColor(5, 5), bottom = image.pixelColor(5, 795);
  EXPECT_GT(top.lightness(), 200);
  EXPECT_LT(bottom.lightness(), 110);
  EXPECT_GT(bottom.blue(), bottom.red());
}

TEST(JpegPicture, DamagedDataGivesANullImage) {
  const QByteArray good = main_window_picture();
  QByteArray flipped_marker = good;
  flipped_marker[0] = char(0x00);  // no SOI
  const QByteArray cases[] = {
      QByteArray(),
      QByteArray("not a picture at all"),
      QByteArray(4096, char(0xFF)),
      good.left(2),
      good.left(200),                // header cut short
      good.left(good.size() / 2),    // half the scans missing
      flipped_marker,
  };
  int row = 0;
  for (const QByteArray& bytes : cases) EXPECT_TRUE(decode_jpeg(bytes).isNull()) << "case " << row++;
}

TEST(JpegPicture, ScrambledScanDataNeverCrashes) {
  QByteArray bytes = main_window_picture();
  for (int i = bytes.size() / 3; i < bytes.size() - 2; i += 97) bytes[i] = char(bytes[i] ^ 0x5A);
  const QImage image = decode_jpeg(bytes);  // damaged scans may or may not be noticed
  if (!image.isNull()) {
    EXPECT_EQ(image.size(), QSize(480, 800));
  }
}

}  // namespace
}  // namespace velmo
