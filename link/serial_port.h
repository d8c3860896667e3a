#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

namespace velmo {

enum class DtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class RtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };
enum class ByteSize { _5, _6, _7, _8 };
enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { _1, _1_5, _2 };

// One received chunk as the reader thread hands it over. The GUI thread owns
// it from then on. first_byte_ns is the monotonic time at which the chunk's
// first byte was read, so a receiver can tell a stray that began before its
// request went out.
struct ReceivedChunk {
  QByteArray bytes;
  int64_t first_byte_ns = 0;
};

// The process's clock (link/clock.h) in nanoseconds, shared by the reader
// thread and its receivers.
int64_t monotonic_ns();

// The serial port component: owns one serial device, a reader thread and a
// writer thread. Everything it reports arrives on the thread that created it
// (the GUI thread) as queued events turned into signals.
//
// Open and set-up failures throw ECommsError; runtime failures in the threads
// end that thread and emit requestHangup().
class SerialPort : public QObject {
  Q_OBJECT
 public:
  explicit SerialPort(QObject* parent = nullptr);
  ~SerialPort() override;  // closes the port if still open

  // Line settings (defaults are the component's own).
  QString CommName = QStringLiteral("COM2");
  uint32_t BaudRate = 9600;
  bool ParityCheck = false;
  bool Outx_CtsFlow = false;
  bool Outx_DsrFlow = false;
  DtrControl dtrControl = DtrControl::DtrEnable;
  bool DsrSensitivity = false;
  bool TxContinueOnXoff = true;
  bool Outx_XonXoffFlow = true;
  bool Inx_XonXoffFlow = true;
  bool ReplaceWhenParityError = false;
  bool IgnoreNullChar = false;
  RtsControl rtsControl = RtsControl::RtsEnable;
  uint16_t XonLimit = 500;
  uint16_t XoffLimit = 500;
  ByteSize byteSize = ByteSize::_8;
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::_1;
  char XonChar = 17;
  char XoffChar = 19;
  char ReplacedChar = 0;
  uint32_t ReadIntervalTimeout = 100;  // ms of line silence that ends a chunk
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
  // End a chunk as soon as the bytes held form one complete Modbus reply.
  bool CompleteReplyEndsChunk = true;

  void OpenPort();   // throws ECommsError
  void ClosePort();  // closing a closed port does nothing
  bool isOpen() const;

  // After OpenPort failed: which device and why, for the user's message
  // (for example "/dev/ttyUSB0: Permission denied").
  QString lastOpenErrorDetail() const;

  // Re-applies the line settings / timeouts to an open port (throws
  // ECommsError when the device refuses them). No-op while closed.
  void ApplyCommState();
  void ApplyCommTimeouts();

  // Clears the input: what waits in the kernel and any partial chunk go out
  // as one chunk begun before now (never dropped unseen), whoever reads the
  // port. Returns false when closed.
  bool FlushInput();

  // Queues the bytes for the writer. False when closed or length is 0.
  bool SendBytes(const uint8_t* buffer, uint16_t length);

  bool sendQueueEmpty() const { return send_queue_empty_->load(); }

  // While a reply is awaited, the thread that waits for it (the one that
  // created the port) reads the port in the reader's place: the reply wakes
  // that thread once, instead of the reader first and then, by its event,
  // the waiting thread. What it reads goes the reader's way: the same chunk
  // rules, the same posted receiveData. The reader takes the port back once
  // no reply is awaited and the event loop is about to sleep, so a run of
  // exchanges never wakes it. Off on a virtual clock, where waits sleep on
  // the timeline and the reader keeps its time.
  void awaitReply(bool awaited);

 signals:
  void receiveData(const velmo::ReceivedChunk& chunk);
  void receiveError(quint32 eventMask);
  void requestHangup();
  void modemStateChange(quint32 modemEvent);
  void sendDataEmpty();

 protected:
  bool event(QEvent* e) override;
  void connectNotify(const QMetaMethod& signal) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::shared_ptr<std::atomic<bool>> send_queue_empty_;
  // Whether anyone listens to sendDataEmpty: a notice nobody takes costs
  // the sending thread an event loop wake-up on every request.
  std::shared_ptr<std::atomic<bool>> sent_wanted_;
};

}  // namespace velmo

Q_DECLARE_METATYPE(velmo::ReceivedChunk)
