#pragma once
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace velmo {

// Every line of a log, kept compactly for a session of any length: UTF-8 in
// large chunks, and the hexadecimal traffic lines ("01 03 00 AB ... **") as
// their raw bytes, a third of their text. Saving writes every line back
// exactly as it was appended.
class LogStore {
 public:
  void append(const QString& line);
  void clear();
  size_t size() const { return count_; }  // lines held
  size_t bytes_held() const;              // memory taken by the lines

  // The whole log as UTF-8, each line ended by CRLF (the record files' form).
  QByteArray to_crlf_utf8() const;
  // Line k (0 = oldest); meant for checks, it walks the chunks.
  QString line(size_t k) const;

 private:
  template <typename Visit> void for_each(Visit&& visit) const;

  std::vector<std::string> chunks_;
  size_t count_ = 0;
};

}  // namespace velmo
