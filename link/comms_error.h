#pragma once
#include <stdexcept>
#include <string>

namespace velmo {

// Raised when the serial port cannot be opened or set up. The English texts
// are the component's own and callers may show them as they stand.
class ECommsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace comms_text {
inline constexpr const char* kAlreadyOpen = "This serial port already opened";
inline constexpr const char* kOpenFailed = "Error opening serial port";
inline constexpr const char* kNotCommHandle = "File handle is not a comm handle ";
inline constexpr const char* kBufferSetup = "Cannot setup comm buffer";
inline constexpr const char* kNoEvent = "Unable to create event";
inline constexpr const char* kNoReadThread = "Unable to create read thread";
inline constexpr const char* kNoWriteThread = "Unable to create write thread";
// The device refused the baud rate, character format or flow control asked for.
inline constexpr const char* kSettingsRefused = "Cannot apply serial port settings";
}  // namespace comms_text

}  // namespace velmo
