#include "common/log_store.h"

#include <algorithm>

namespace velmo {
namespace {

// One record: kind, length (LEB128), payload.
enum Kind : char { kText = 0, kHex = 1, kHexMarked = 2 };  // kHexMarked: hex bytes then "**"
constexpr size_t kChunkBytes = 64 * 1024;
const char kDigits[] = "0123456789ABCDEF";

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a traffic line "XX XX XX " (upper-case hex, each byte with its
// space), or false when the line is anything else.
bool parse_hex(const QString& text, qsizetype length, std::string& bytes) {
  if (length % 3 != 0) return false;
  bytes.clear();
  for (qsizetype i = 0; i < length; i += 3) {
    const int hi = hex_value(static_cast<char>(text[i].unicode()));
    const int lo = hex_value(static_cast<char>(text[i + 1].unicode()));
    if (text[i].unicode() > 0x7F || text[i + 1].unicode() > 0x7F || hi < 0 || lo < 0 || text[i + 2] != u' ')
      return false;
    bytes.push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

void put_length(std::string& out, size_t n) {
  do {
    const auto low = static_cast<unsigned char>(n & 0x7F);
    n >>= 7;
    out.push_back(static_cast<char>(n ? (low | 0x80) : low));
  } while (n);
}

size_t get_length(const std::string& in, size_t& at) {
  size_t n = 0;
  for (int shift = 0;; shift += 7) {
    const auto b = static_cast<unsigned char>(in[at++]);
    n |= static_cast<size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return n;
  }
}

void render(char kind, const char* payload, size_t n, QByteArray& out) {
  if (kind == kText) {
    out.append(payload, static_cast<qsizetype>(n));
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(payload[i]);
    out.append(kDigits[b >> 4]).append(kDigits[b & 15]).append(' ');
  }
  if (kind == kHexMarked) out.append("**");
}

}  // namespace

void LogStore::append(const QString& line) {
  std::string payload;
  char kind = kText;
  const bool marked = line.endsWith(QLatin1String("**"));
  if (parse_hex(line, line.size() - (marked ? 2 : 0), payload)) {
    kind = marked ? kHexMarked : kHex;
  } else {
    const QByteArray utf8 = line.toUtf8();
    payload.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
  }
  if (chunks_.empty() || chunks_.back().size() + payload.size() + 11 > kChunkBytes) {
    chunks_.emplace_back();
    chunks_.back().reserve(std::max(kChunkBytes, payload.size() + 11));
  }
  std::string& chunk = chunks_.back();
  chunk.push_back(kind);
  put_length(chunk, payload.size());
  chunk += payload;
  ++count_;
}

void LogStore::clear() {
  chunks_.clear();
  count_ = 0;
}

size_t LogStore::bytes_held() const {
  size_t n = chunks_.capacity() * sizeof(std::string);
  for (const std::string& c : chunks_) n += c.capacity();
  return n;
}

template <typename Visit> void LogStore::for_each(Visit&& visit) const {
  for (const std::string& chunk : chunks_) {
    size_t at = 0;
    while (at < chunk.size()) {
      const char kind = chunk[at++];
      const size_t n = get_length(chunk, at);
      visit(kind, chunk.data() + at, n);
      at += n;
    }
  }
}

QByteArray LogStore::to_crlf_utf8() const {
  QByteArray out;
  size_t held = 0;
  for (const std::string& c : chunks_) held += c.size();
  out.reserve(static_cast<qsizetype>(held * 3 + count_ * 2));
  for_each([&](char kind, const char* payload, size_t n) {
    render(kind, payload, n, out);
    out.append("\r\n");
  });
  return out;
}

QString LogStore::line(size_t k) const {
  QByteArray out;
  size_t i = 0;
  for_each([&](char kind, const char* payload, size_t n) {
    if (i++ == k) render(kind, payload, n, out);
  });
  return QString::fromUtf8(out);
}

}  // namespace velmo
