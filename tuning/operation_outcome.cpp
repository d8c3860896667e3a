#include "tuning/operation_outcome.h"

#include <QStringList>

#include "tuning/gain_formula.h"
#include "tuning/inertia_estimate.h"
#include "tuning/tenths_text.h"

namespace velmo::tuning {

namespace {

constexpr OperationRow kOperations[] = {
    {OperationKind::SelfLearning, {"自学习完成", "自学习中断", "自学习失败"},
     kFindsResonance | kFindsEndVibration | kFindsInertia},
    {OperationKind::SystemVibration, {"系统振动检测完成", "系统振动检测中断", "系统振动检测失败"},
     kFindsResonance | kFindsEndVibration},
    {OperationKind::SpeedSearch, {"速度环增益搜索完毕", "速度环增益搜索中断", "速度环增益搜索失败"}, kFindsResonance},
    {OperationKind::PositionSearch, {"位置环增益搜索完成", "位置环增益搜索中断", "位置环增益搜索失败"}, kFindsResonance},
    {OperationKind::ResonanceSearch, {"机械共振频率搜索完成", "机械共振频率搜索中断", "机械共振频率搜索失败"},
     kFindsResonance},
    {OperationKind::EndVibrationSearch, {"末端振动频率搜索完成", "末端振动频率搜索中断", "末端振动频率搜索失败"},
     kFindsEndVibration},
    {OperationKind::InertiaEstimation, {"负载惯量推定完成", "终止负载惯量推定", "负载惯量推定失败"}, kFindsInertia},
    {OperationKind::ResonanceDetection, {"共振频率检测完成", "共振频率检测中断", "通信失败"}, kFindsResonance},
    {OperationKind::EndVibrationDetection, {"停止振动频率检测完成", "停止振动频率检测中断", "停止振动频率检测失败"},
     kFindsEndVibration},
};

QString tenths(int64_t v) { return QString::fromStdString(tenths_text(v)); }

QString or_unknown(const std::optional<int32_t>& v, QString (*shown)(int32_t)) {
  return v ? shown(*v) : QStringLiteral("未知");
}

QString whole(int32_t v) { return QString::number(v); }
QString in_tenths(int32_t v) { return tenths(v); }

}  // namespace

const OperationRow& operation_row(OperationKind kind) {
  for (const OperationRow& row : kOperations)
    if (row.kind == kind) return row;
  return kOperations[0];
}

QString end_line(const OperationRow& row, Outcome outcome, const Findings& found) {
  QString line = QString::fromUtf8(row.end_line[static_cast<int>(outcome)]);
  if (outcome == Outcome::Completed && (row.finds & kFindsInertia) && found.inertia_ratio_x10 &&
      ratio_at_limit(*found.inertia_ratio_x10))
    line += QStringLiteral("，但惯量比达到上限%1，结果不可信").arg(tenths(kInertiaRatioMax));
  return line;
}

QString outcome_line(const OperationRow& row, Outcome outcome, const Findings& found, const DriveSnapshot& drive,
                     int notch_group, int suppressor_group) {
  QStringList seen;
  if (row.finds & kFindsResonance)
    seen << (found.resonance_hz ? QStringLiteral("共振频率%1Hz").arg(*found.resonance_hz) : QStringLiteral("未发现共振"));
  if (row.finds & kFindsEndVibration)
    seen << (found.endvib_x10 ? QStringLiteral("末端振动频率%1Hz").arg(tenths(*found.endvib_x10))
                              : QStringLiteral("未发现末端振动"));
  if ((row.finds & kFindsInertia) && (found.inertia_ratio_x10 || found.inertia_tried))
    seen << (found.inertia_ratio_x10 ? QStringLiteral("惯量比%1").arg(ratio_text(*found.inertia_ratio_x10))
                                     : QStringLiteral("未得出惯量比"));

  QStringList held;
  held << QStringLiteral("陷波器第%1组%2Hz")
              .arg(notch_group + 1)
              .arg(or_unknown(drive.now(Held::NotchFrequency), whole));
  held << QStringLiteral("振动抑制器第%1组%2Hz")
              .arg(suppressor_group + 1)
              .arg(or_unknown(drive.now(Held::SuppressorFrequency), in_tenths));
  held << QStringLiteral("第一组增益Kp %1、Kv %2、Ti %3")
              .arg(or_unknown(drive.now(Held::Kp), in_tenths), or_unknown(drive.now(Held::Kv), in_tenths),
                   or_unknown(drive.now(Held::Ti), in_tenths));
  held << QStringLiteral("刚性等级%1").arg(or_unknown(drive.now(Held::Rigidity), whole));

  return end_line(row, outcome, found) + QStringLiteral("：") +
         seen.join(QStringLiteral("，")) + QStringLiteral("；驱动器现值：") + held.join(QStringLiteral("，"));
}

QString put_back_line(const std::vector<Held>& failed) {
  if (failed.empty()) return QStringLiteral("已将增益、刚性等级、陷波器、振动抑制器和限制值恢复为开始时的值");
  QStringList names;
  for (Held h : failed) names << QString::fromUtf8(held_name(h));
  return QStringLiteral("恢复开始时的值失败（%1），驱动器增益未知").arg(names.join(QStringLiteral("、")));
}

}  // namespace velmo::tuning
