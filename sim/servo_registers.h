#pragma once
#include <array>
#include <cstdint>

// Register map of the simulated servo drive's bus side.
namespace velmo::sim::servo_regs {

constexpr uint16_t kRunMode = 0x0000;  // F0-00
constexpr uint16_t kRunModeBus = 9;    // RS-485 bus control
constexpr uint16_t kControlMode = 0x1003;  // 1 speed, 2 torque
constexpr uint16_t kCommand = 0x1004;      // values below
constexpr uint16_t kSpeedShaftLock = 0x1005;
constexpr uint16_t kSpeedSet = 0x1006;     // rpm
constexpr uint16_t kTorqueLimit = 0x1007;  // %
constexpr uint16_t kTorqueShaftLock = 0x1008;
constexpr uint16_t kTorqueSet = 0x1009;    // %
constexpr uint16_t kSpeedLimit = 0x100A;   // rpm
constexpr uint16_t kControlFirst = 0x1000, kControlCount = 0x10;

constexpr uint16_t kCmdStop = 0, kCmdForward = 1, kCmdReverse = 2, kCmdFaultReset = 8;
constexpr uint16_t kModeSpeed = 1, kModeTorque = 2;

constexpr uint16_t kStatusWord = 0x2003;
constexpr uint16_t kSpeed = 0x2004;  // signed rpm
constexpr uint16_t kTorque = 0x2005;
constexpr uint16_t kHighestSpeed = 0x2006;
constexpr uint16_t kLargestTorque = 0x2007;
constexpr uint16_t kDriveTemperature = 0x2008;
constexpr uint16_t kBrakeLoad = 0x2009;
constexpr uint16_t kBusVoltageMax = 0x200A;
constexpr uint16_t kBusVoltageMin = 0x200B;
// Four 32-bit positions, low word first: current, home, forward and reverse limit.
constexpr uint16_t kPosition = 0x2010, kHomePosition = 0x2012, kForwardLimit = 0x2014, kReverseLimit = 0x2016;
constexpr uint16_t kStatusFirst = 0x2000, kStatusCount = 0x20;

constexpr uint16_t kFaultCode = 0x3000;
constexpr uint16_t kFaultForwardLimit = 21;  // shown as Er-20
constexpr uint16_t kFaultReverseLimit = 22;
constexpr uint16_t kWarningSelfLearning = 38;
constexpr bool stops_drive(uint16_t code) { return code >= 1 && code <= 26; }

// Status word bits (low byte); the high byte reads 1 while the torque-mode
// shaft lock holds.
constexpr uint16_t kBitStopped = 1u << 0, kBitForward = 1u << 1, kBitReverse = 1u << 2, kBitFault = 1u << 3,
                   kBitSafetySwitch = 1u << 4, kBitTorqueReached = 1u << 5, kBitSpeedShaftLock = 1u << 6,
                   kBitSpeedReached = 1u << 7;

constexpr uint16_t kTestMoveFirst = 0x8000, kTestMoveCount = 5;
// Test mode and the motion recording (gain tuning).
constexpr uint16_t kTestStart = 0x8000;   // 0 stop, 1 forward, 2 reverse
constexpr uint16_t kTestPulses = 0x8001;  // move length, thousands of pulses
constexpr uint16_t kTestRate = 0x8002;    // pulse rate, tens of pulses per millisecond
constexpr uint16_t kTestRecord = 0x8003;  // start recording now: 1 at 5 kHz, 2 at 500 Hz
constexpr uint16_t kTestArm = 0x8004;     // 1 arms test mode (and puts the servo on) for one move
constexpr uint16_t kServoOnOff = 0x1020;  // 1 SERVO_ON, 0 SERVO_OFF
constexpr uint16_t kPeakTorque = kLargestTorque;  // after a test move: its peak, % of rated torque
constexpr uint16_t kRecording = 0x9000;  // one 32-bit sample per address, 4 bytes each on the wire

// Tuning registers that depend on the menu layout.
struct TuningLayout {
  uint16_t gear;           // numerator high, low, denominator high, low
  uint16_t inertia_ratio;  // x10; rigidity follows
  uint16_t kp;             // then Kv, Ti, speed filter, torque filter (set 1)
  uint16_t load_class;     // 1..3; 0 when the layout has none
  uint16_t notch, notch_stride;            // frequency, width(, depth) per group
  uint16_t suppressor, suppressor_stride;  // frequency x10, depth x10 per group
};
constexpr TuningLayout kTuning1{28, 43, 45, 0, 71, 3, 91, 3};
constexpr TuningLayout kTuning2{29, 52, 55, 50, 80, 2, 90, 2};


constexpr uint16_t kParamFirst = 0, kParamCount = 0x300;
constexpr uint16_t kStationNumber = 160;  // FA-00
constexpr uint16_t kFactoryReset = 170;   // FB-00
constexpr uint16_t kMotorModel = 181;     // FC-01
constexpr uint16_t kDriveModel = 180;     // FC-00
constexpr uint16_t kSpeedAccelTime = 104; // F5-04, tenths of a second

// Registers that depend on the menu layout.
struct Layout {
  uint16_t home;            // write 2: take the current position
  uint16_t forward_limit;
  uint16_t reverse_limit;   // home..reverse_limit also cleared by writing 1
  uint16_t gain_switch;
  std::array<uint16_t, 3> self_learning;  // write 2 or more: start; reads 1 when done
};
constexpr Layout kLayout1{0x0019, 0x001A, 0x001B, 0x0037, {0x0028, 0x0046, 0x005A}};
constexpr Layout kLayout2{0x001A, 0x001B, 0x001C, 0x0041, {0x0036, 0x0028, 0x0028}};
constexpr uint16_t kPointSet = 2, kPointClear = 1;

}  // namespace velmo::sim::servo_regs
