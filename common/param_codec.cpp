#include "common/param_codec.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace velmo {

namespace {

int digits_of_scale(int32_t scale) {
  int d = 0;
  for (int32_t s = scale; s >= 10; s /= 10) ++d;
  return d;
}

int64_t pow10(int d) {
  int64_t p = 1;
  while (d-- > 0) p *= 10;
  return p;
}

bool parse_number(const QString& text, double* out) {
  bool ok = false;
  const double v = QLocale::c().toDouble(text, &ok);
  if (ok && std::isfinite(v)) *out = v;
  return ok && std::isfinite(v);
}

QString two_digits(int64_t v) { return QString::number(v).rightJustified(2, QLatin1Char('0')); }

// A value in units of 10^-d written with d digits after the point.
QString fixed_text(int64_t v, int d) {
  if (d == 0) return QString::number(v);
  const int64_t p = pow10(d);
  const int64_t a = v < 0 ? -v : v;
  return (v < 0 ? QStringLiteral("-") : QString()) + QString::number(a / p) + QLatin1Char('.') +
         QString::number(a % p).rightJustified(d, QLatin1Char('0'));
}

}  // namespace

ParamRange row_range(const ParamRow& row) { return {row.min, row.max, row.empty}; }

QString format_number(double value, int decimals) {
  if (decimals <= 0) return QString::number(std::llround(value));
  return QString::asprintf("%.*f", decimals, value);
}

bool scale_decimal_text(const QString& text, int digits, Rounding rounding, int64_t* out) {
  QString t = text.trimmed();
  bool negative = false;
  if (t.startsWith(QLatin1Char('-'))) {
    negative = true;
    t.remove(0, 1);
  }
  const qsizetype dot = t.indexOf(QLatin1Char('.'));
  const QString whole = dot < 0 ? t : t.left(dot);
  const QString frac = dot < 0 ? QString() : t.mid(dot + 1);
  if (whole.isEmpty() && frac.isEmpty()) return false;
  for (QChar c : whole + frac)
    if (!c.isDigit()) return false;
  if (whole.size() > 12) return false;

  int64_t mantissa = whole.isEmpty() ? 0 : whole.toLongLong();
  for (int k = 0; k < digits; ++k) mantissa = mantissa * 10 + (k < frac.size() ? frac[k].digitValue() : 0);

  // Digits beyond the scale decide the rounding: above, below or exactly half.
  const QString rest = frac.size() > digits ? frac.mid(digits) : QString();
  if (!rest.isEmpty()) {
    const int first = rest[0].digitValue();
    const bool tail_nonzero = std::any_of(rest.begin() + 1, rest.end(), [](QChar c) { return c != QLatin1Char('0'); });
    const bool up = first > 5 || (first == 5 && tail_nonzero) ||
                    (first == 5 && !tail_nonzero && (rounding == Rounding::Nearest || mantissa % 2 == 1));
    if (up) ++mantissa;
  }
  *out = negative ? -mantissa : mantissa;
  return true;
}

QString number_text(const ParamRow& row, int32_t wire, int32_t low) {
  if (row.codec.split) return QString::number(static_cast<int64_t>(wire) * 10000 + low);
  int64_t v = wire;
  if (row.codec.negative && row.codec.offset == 0 && v >= 32768) v -= 65536;
  v -= row.codec.offset;
  return fixed_text(v, digits_of_scale(row.codec.scale));
}

QString display_text(const ParamRow& row, int32_t wire) {
  switch (row.display) {
    case DisplayFormat::Version:
      return QString::number(wire / 100) + QLatin1Char('.') + two_digits(wire % 100);
    case DisplayFormat::ModelCode:
      return two_digits(wire / 100) + QLatin1Char('_') + two_digits(wire % 100);
    case DisplayFormat::Plain:
      break;
  }
  return QString::number(wire);
}

int item_index(const ListItems& items, int32_t value) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].value == value) return static_cast<int>(i);
  return -1;
}

QString clamp_text(const ParamRow& row, const QString& text, const ParamRange& range) {
  const int d = row.codec.decimals;
  QString t = text.trimmed();
  double v = 0;
  if (t.isEmpty() || !parse_number(t, &v)) {
    // A lone "." or "-" holds no number: it is treated as an empty field.
    t = range.empty;
  } else if (v > range.max) {
    t = format_number(range.max, d);
  } else if (v < range.min) {
    t = format_number(range.min, d);
  }
  if (row.codec.keep_text) return t;
  // Rounded on the decimal text by the field's own rule: printf would round
  // the binary fraction ("0.15" is just below a half there).
  int64_t scaled = 0;
  if (d > 0 && scale_decimal_text(t, d, row.codec.rounding, &scaled)) return fixed_text(scaled, d);
  if (parse_number(t, &v)) t = format_number(v, d);
  return t;
}

std::vector<int32_t> encode_text(const ParamRow& row, const QString& text) {
  const Codec& c = row.codec;
  int64_t n = 0;
  if (c.split) {
    if (!scale_decimal_text(text, 0, c.rounding, &n)) n = 0;
    n = std::clamp<int64_t>(n, 0, 655359999);
    return {static_cast<int32_t>(n / 10000), static_cast<int32_t>(n % 10000)};
  }
  if (!scale_decimal_text(text, digits_of_scale(c.scale), c.rounding, &n)) n = 0;
  n += c.offset;
  if (c.negative && c.offset == 0) {
    n = std::clamp<int64_t>(n, -32768, 32767);
    if (n < 0) n += 65536;  // two's complement in the register
  }
  return {static_cast<int32_t>(std::clamp<int64_t>(n, 0, 65535))};
}

bool text_allowed(const ParamRow& row, const QString& text) {
  if (row.max_length > 0 && text.size() > row.max_length) return false;
  int dots = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text[i];
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) continue;
    if (ch == QLatin1Char('.') && row.codec.decimals > 0 && ++dots == 1) continue;
    if (ch == QLatin1Char('-') && row.codec.negative && i == 0) continue;
    return false;
  }
  return true;
}

}  // namespace velmo
