#pragma once
#include <QString>

namespace velmo {

class VelmoApp;

// Searches the line on `port`, opens the inverter control window (TForm9),
// the speed-controller editor (TForm18) and control window (TForm19) and the
// gain tuning's curve page after a resonance detection on servo 1, and saves
// a picture of each in `folder` (TForm9.png, TForm18.png, TForm19.png,
// TForm3-chart.png); last, the servo control window's exit guard refusing
// to leave a running servo, as the screen shows the box
// (TForm4-exit-guard.png). Returns 0 when every picture was saved and the
// box was readable. For looking at the real windows on a display of a given
// size (scripts/screenshots.sh).
int take_screenshots(VelmoApp& app, const QString& port, const QString& folder);

}  // namespace velmo
