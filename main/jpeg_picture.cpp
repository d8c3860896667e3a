#include "main/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace velmo {

namespace {

// libjpeg's default error handler ends the process; this one jumps back to
// the decoder instead.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  bool corrupt = false;
};

void on_error(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(errors->jump, 1);
}

// Level -1 is a warning about corrupt data (a truncated file, a bad
// marker): such a picture is refused too. Nothing is printed.
void on_emit(j_common_ptr info, int level) {
  if (level < 0) reinterpret_cast<ErrorManager*>(info->err)->corrupt = true;
}

void on_message(j_common_ptr) {}

}  // namespace

QImage decode_jpeg(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = on_error;
  errors.base.output_message = on_message;
  errors.base.emit_message = on_emit;
  // Everything that must survive a longjmp lives outside this frame's
  // locals changed after setjmp (the image is assigned only on success).
  QImage* volatile image = nullptr;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    delete image;
    return {};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3 || info.output_width == 0 || info.output_height == 0) {
    jpeg_destroy_decompress(&info);
    return {};
  }
  image = new QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
  if (image->isNull()) {
    jpeg_destroy_decompress(&info);
    delete image;
    return {};
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image->scanLine(int(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (errors.corrupt) {
    delete image;
    return {};
  }
  QImage result = std::move(*image);
  delete image;
  return result;
}

}  // namespace velmo
