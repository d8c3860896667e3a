#include "common/string_helpers.h"

#include <algorithm>

namespace velmo {

QString midstr(const QString& s, int start, int count) {
  if (count <= 0 || start > s.size()) return {};
  return s.mid(std::max(start, 1) - 1, count);
}

QString LeftStr(const QString& s, int n) { return n <= 0 ? QString() : s.left(n); }

QString rightStr(const QString& s, int n) { return n <= 0 ? QString() : s.right(std::min<int>(n, s.size())); }

}  // namespace velmo
