#include "servo/self_learning_functions.h"

namespace velmo::servo {
namespace {

// Layout 1 keeps each function in its own parameter (F2-00 load
// characteristics at 0x28, F3-00 resonance at 0x46, F4-00 end vibration at
// 0x5A); layout 2 selects the function by value in F2-04 (0x36).
constexpr SelfLearningFunction kFunctions[] = {
    {"Button1", "刚性等级、共振抑制、振动抑制自学习", true, {0x0028, 2}, {0x0036, 3}, "负载特性自学习中...",
     "负载特性自学习失败**"},
    {"Button6", "惯量比自学习", true, {0x0028, 4}, {0x0036, 2}, "惯量比自学习中...", "惯量比自学习失败**"},
    {"Button2", "陷波器共振抑制自学习", true, {0x0046, 2}, {0x0036, 4}, "共振抑制自学习中...",
     "共振抑制自学习失败**"},
    {"Button3", "末端振动抑制自学习", true, {0x005A, 2}, {0x0036, 5}, "末端振动抑制自学习中...",
     "末端振动抑制自学习失败**"},
    {"Button5", "正反转转矩补偿自学习", false, {0x0028, 3}, {0x0028, 3}, "转矩补偿自学习中...",
     "正反转转矩补偿自学习失败**"},
    {"Button7", "机械刚性自学习", false, {0x0028, 5}, {0x0028, 5}, "机械刚性自学习中...", "机械刚性自学习失败**"},
};

}  // namespace

std::span<const SelfLearningFunction> self_learning_functions() { return kFunctions; }

}  // namespace velmo::servo
