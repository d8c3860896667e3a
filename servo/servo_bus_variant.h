#pragma once
#include <cstdint>

namespace velmo {

class ParamEditorEngine;
struct DriveLinkState;

// Adapts the servo menu editor to a bus-type drive (reduced lists of F0-00
// and F2-15, source parameters fixed on their bus items, greyed and
// disabled) or gives an ordinary drive the full lists and free controls.
// Nothing is sent and the image is not touched; the lists show the node's
// last known run mode and gain switch.
void apply_servo_bus_variant(ParamEditorEngine& engine, const DriveLinkState& st, int node, bool bus_type);

}  // namespace velmo
