#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace velmo {

class ParamEditorEngine;
struct ParamRow;

// The range a number field is clamped to when it is left, in the units its
// text shows, and the text an empty field gets.
struct ParamRange {
  double min = 0;
  double max = 0;
  QString empty;
};

// A row's range when it depends on something else (another field, the model
// type, the node's ratings), asked at the moment the field is left.
using RangeRule = std::function<ParamRange(const ParamRow& row, const ParamEditorEngine& editor)>;
// A row's own exit clamp, for fields whose text follows rules of their own.
using ClampRule =
    std::function<QString(const ParamRow& row, const QString& text, const ParamRange& range, const ParamEditorEngine& editor)>;

// A row shown (and taken into the image) only while another register holds
// one of the listed values: alternatives of one register chosen by a value.
struct ShownWhen {
  int reg = -1;  // -1: always shown
  std::vector<int32_t> values;
};

// One entry of a drop-down list: the text it shows and the value it carries
// on the wire. Values are explicit: lists with gaps ("1、..", "3、..") and
// lists of numbers ("0.1".."5.0" carrying tenths) are all just items.
struct ListItem {
  QString text;
  int32_t value = 0;
};
using ListItems = std::vector<ListItem>;

// Items whose value is the number the text starts with ("3、通讯" → 3).
ListItems numbered_items(std::initializer_list<const char*> texts);
// Items "first".."last" (step 1), each carrying the number it shows.
ListItems number_items(int first, int last);
// Items "0.1".."4.0" and the like: item n shows n tenths and carries n.
ListItems tenths_items(int first_tenths, int last_tenths);

enum class RowKind : uint8_t {
  List,     // drop-down list; value = the picked item's value
  Number,   // edit box holding a number, see Codec
  Display,  // read-only text in one of the display formats
};

enum class DisplayFormat : uint8_t {
  Plain,      // the value in decimal
  Version,    // v div 100 "." two digits of v mod 100 (6005 → 60.05)
  ModelCode,  // two digits of v div 100 "_" two digits of v mod 100 (803 → 08_03)
};

enum class Rounding : uint8_t {
  Nearest,   // halves away from zero
  HalfEven,  // halves to the even neighbour
};

// How the text of a number field maps to its register value:
// wire = round(number × scale) + offset, one 16-bit register (two for split).
struct Codec {
  int32_t scale = 1;
  int32_t offset = 0;
  uint8_t decimals = 0;   // digits after the point; a "." is typed only when > 0
  bool negative = false;  // a leading "-" may be typed; without offset the wire is two's complement
  bool split = false;     // two registers: value div 10000, then value mod 10000
  Rounding rounding = Rounding::Nearest;
  bool keep_text = false;  // the exit clamp checks the range but leaves the typed text as it is
};

// What a row needs beyond its data.
enum RowFlag : uint32_t {
  kRowDisabled = 1u << 0,      // shown, never edited in this window
  kNoGroupWrite = 1u << 1,     // read and shown, left out of group writes
  kDownloadSingly = 1u << 2,   // left out of the group blocks; the download sends it with a single write
  kWriteAlone = 1u << 3,       // a group write sends it alone, function 06
  kStation = 1u << 4,          // the station number: bumped, never taken from a file
  kDownloadSafe = 1u << 5,     // any value but safe_value acts on the drive (reset, self-learning): a download sends safe_value
  kSnapshot = 1u << 7,         // kept in the node's restore snapshot
  kLineSetting = 1u << 9,      // baud rate, frame format, protocol: never taken from a file
  kNoGroupIO = 1u << 10,       // in no group read or write; only single writes reach the drive
};

// One parameter of a drive as an editor presents it. The tables of the three
// editors are lists of these rows; one engine serves them all.
struct ParamRow {
  QString code;             // "F0-02"; two-register values name both: "F1-08/09"
  QString caption;
  const char* control = nullptr;  // objectName of the control; nullptr: image only
  int group = 0;            // index in ParamTable::groups
  uint32_t layouts = ~0u;   // layouts (menu variants, model types) the row belongs to: bit n = layout n
  int reg = -1;             // first register; -1: none (never filled)
  RowKind kind = RowKind::Number;
  Codec codec;
  double min = 0;           // clamp, in the units the text shows
  double max = 0;
  QString empty;            // text put in when the field is left empty
  QString form_text;        // what the control shows before the first read
  QString unit;
  QString hint;
  ListItems items;
  uint32_t flags = 0;
  int32_t safe_value = 1;   // sent by a download instead of a reset or self-learning value
  int max_length = 0;       // characters; 0: no limit
  DisplayFormat display = DisplayFormat::Plain;
  RangeRule range_rule;     // empty: min, max and empty above
  ClampRule clamp_rule;     // empty: the editor's clamp
  ShownWhen shown_when;
  const char* mirror = nullptr;  // a second control showing the same value (same item, same text)
  // A control of the window showing something made of the value (a rating
  // from a version word): it carries the row's marks.
  const char* companion = nullptr;
  int role = 0;             // what the family's own hooks know the row as; the engine never reads it
  uint32_t alone_layouts = 0;  // layouts in which a group write sends it alone, as with kWriteAlone
  uint32_t greyed_layouts = 0; // layouts that lack the parameter but show its control, greyed
  int readback_regs = 0;    // registers a refused write reads back from `reg` on (0: the row's own)

  bool has(uint32_t flag) const { return (flags & flag) != 0; }
  bool in_layout(int layout) const { return layout >= 0 && layout < 32 && (layouts >> layout) & 1u; }
  bool written_alone(int layout) const {
    return has(kWriteAlone) || (layout >= 0 && layout < 32 && (alone_layouts >> layout) & 1u);
  }
  // Registers the row occupies (two for split values, none without a register).
  int reg_count() const { return reg < 0 ? 0 : (codec.split ? 2 : 1); }
  QString label() const { return code + QStringLiteral(": ") + caption; }

  ParamRow with(uint32_t more_flags) const {
    ParamRow r = *this;
    r.flags |= more_flags;
    return r;
  }
  ParamRow with_role(int family_role) const {
    ParamRow r = *this;
    r.role = family_role;
    return r;
  }
  ParamRow marked_with(const char* control) const {
    ParamRow r = *this;
    r.companion = control;
    return r;
  }
  ParamRow with_range(RangeRule rule) const {
    ParamRow r = *this;
    r.range_rule = std::move(rule);
    return r;
  }
  ParamRow shown_while(int reg, std::vector<int32_t> values) const {
    ParamRow r = *this;
    r.shown_when = {reg, std::move(values)};
    return r;
  }
};

// A group box holding a group's controls in some layouts.
struct GroupBoxDef {
  uint32_t layouts = ~0u;
  const char* name = nullptr;  // objectName
  QString caption;
};

// A parameter group (F0, F1 ... FC): where it is shown and how its failures read.
struct GroupDef {
  QString code;        // "F0"
  int tab = 0;         // index of its tab sheet
  std::vector<GroupBoxDef> boxes;
  QString read_fail;   // "F0组参数读取失败"
  QString write_fail;  // "F0组参数修改失败"
  // A group written in several blocks names each failed block by its first and
  // last codes ("F1-00~F1-04参数修改失败") instead of the group text.
  bool block_fail_texts = false;
  uint32_t layouts = ~0u;  // layouts (model types) that have the group at all
};

struct ParamTable {
  QStringList tabs;  // captions of the parameter tab sheets
  std::vector<GroupDef> groups;
  std::vector<ParamRow> rows;

  int group_index(const QString& code) const;
  const ParamRow* row_by_control(const QString& control) const;
  const ParamRow* row_by_reg(int reg, int layout) const;
};

// ---- Builders that keep the tables readable ----

ParamRow list_row(const char* code, const char* caption, const char* control, int reg, ListItems items,
                  const char* form_text);
ParamRow int_row(const char* code, const char* caption, const char* control, int reg, double min, double max,
                 const char* empty, const char* form_text, const char* unit, const char* hint);
// A decimal field: `decimals` digits, value = number × 10^decimals.
ParamRow dec_row(const char* code, const char* caption, const char* control, int reg, int decimals, double min,
                 double max, const char* empty, const char* form_text, const char* unit, const char* hint);
ParamRow display_row(const char* code, const char* caption, const char* control, int reg, DisplayFormat format);

// Adds rows to a table with a common group and layout mask.
class TableSection {
 public:
  TableSection(ParamTable& table, int group, uint32_t layouts) : table_(table), group_(group), layouts_(layouts) {}
  TableSection& add(ParamRow row);

 private:
  ParamTable& table_;
  int group_;
  uint32_t layouts_;
};

}  // namespace velmo
