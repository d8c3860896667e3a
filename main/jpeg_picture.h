#pragma once
#include <QByteArray>
#include <QImage>

namespace velmo {

// Decodes JPEG bytes with libjpeg. Any fault in the data gives a null image,
// never a crash or an exit.
QImage decode_jpeg(const QByteArray& bytes);

// The picture shown on the main window (JPEG bytes compiled into the program).
QByteArray main_window_picture();

}  // namespace velmo
