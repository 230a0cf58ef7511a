// winsim: encoding and bounds-checked decoding of message-socket frames.
#include "user32/wire.h"

#include <cstring>

namespace winsim::user::wire {
namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Reads fixed-size fields from a byte range; every read is checked.
class Reader {
 public:
  Reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  bool u32(std::uint32_t* v) {
    if (n_ - pos_ < 4 || pos_ > n_) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= static_cast<std::uint32_t>(p_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool u64(std::uint64_t* v) {
    if (n_ - pos_ < 8 || pos_ > n_) return false;
    *v = 0;
    for (int i = 0; i < 8; ++i) *v |= static_cast<std::uint64_t>(p_[pos_ + i]) << (8 * i);
    pos_ += 8;
    return true;
  }
  bool u8(std::uint8_t* v) {
    if (pos_ >= n_) return false;
    *v = p_[pos_++];
    return true;
  }
  bool bytes(std::size_t count, const std::uint8_t** out) {
    if (count > n_ - pos_) return false;
    *out = p_ + pos_;
    pos_ += count;
    return true;
  }
  bool atEnd() const { return pos_ == n_; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
};

bool validKind(std::uint32_t k) { return k >= 1 && k <= 5; }

}  // namespace

std::vector<std::uint8_t> encode(const Frame& f) {
  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSize + kFixedBodySize + f.data.size());
  for (char c : {'K', 'V', 'W', 'M'}) out.push_back(static_cast<std::uint8_t>(c));
  put32(out, static_cast<std::uint32_t>(kFixedBodySize + f.data.size()));
  put32(out, static_cast<std::uint32_t>(f.kind));
  put32(out, f.msg);
  put32(out, f.op);
  put32(out, f.status);
  put64(out, f.target);
  put64(out, f.wParam);
  put64(out, f.lParam);
  put64(out, f.dataTag);
  put32(out, static_cast<std::uint32_t>(f.data.size()));
  for (std::uint8_t b : f.data) out.push_back(b);
  return out;
}

std::optional<std::size_t> bodyLength(const std::uint8_t* header, std::size_t size) {
  if (size < kHeaderSize || std::memcmp(header, "KVWM", 4) != 0) return std::nullopt;
  Reader r(header + 4, 4);
  std::uint32_t len = 0;
  r.u32(&len);
  if (len < kFixedBodySize || len > kFixedBodySize + kMaxData) return std::nullopt;
  return len;
}

std::optional<Frame> decodeBody(const std::uint8_t* body, std::size_t size) {
  Reader r(body, size);
  Frame f;
  std::uint32_t kind = 0, dataLen = 0;
  if (!r.u32(&kind) || !validKind(kind) || !r.u32(&f.msg) || !r.u32(&f.op) || !r.u32(&f.status) ||
      !r.u64(&f.target) || !r.u64(&f.wParam) || !r.u64(&f.lParam) || !r.u64(&f.dataTag) || !r.u32(&dataLen)) {
    return std::nullopt;
  }
  if (dataLen > kMaxData) return std::nullopt;
  const std::uint8_t* data = nullptr;
  if (!r.bytes(dataLen, &data) || !r.atEnd()) return std::nullopt;
  f.kind = static_cast<Kind>(kind);
  f.data.assign(data, data + dataLen);
  return f;
}

std::optional<Frame> decode(const std::uint8_t* bytes, std::size_t size) {
  auto len = bodyLength(bytes, size);
  if (!len || size - kHeaderSize != *len) return std::nullopt;
  return decodeBody(bytes + kHeaderSize, *len);
}

std::vector<std::uint8_t> encodeFacts(const WindowFacts& facts) {
  std::vector<std::uint8_t> out;
  put32(out, facts.pid);
  put32(out, facts.threadId);
  out.push_back(facts.visible ? 1 : 0);
  out.push_back(facts.enabled ? 1 : 0);
  put64(out, facts.parent);
  put64(out, facts.lastActivePopup);
  put32(out, static_cast<std::uint32_t>(facts.cls.size()));
  out.insert(out.end(), facts.cls.begin(), facts.cls.end());
  put32(out, static_cast<std::uint32_t>(facts.text.size()));
  out.insert(out.end(), facts.text.begin(), facts.text.end());
  return out;
}

std::optional<WindowFacts> decodeFacts(const std::uint8_t* bytes, std::size_t size) {
  Reader r(bytes, size);
  WindowFacts f;
  std::uint8_t visible = 0, enabled = 0;
  std::uint32_t clsLen = 0, textLen = 0;
  const std::uint8_t* p = nullptr;
  if (!r.u32(&f.pid) || !r.u32(&f.threadId) || !r.u8(&visible) || !r.u8(&enabled) || !r.u64(&f.parent) ||
      !r.u64(&f.lastActivePopup) || !r.u32(&clsLen) || !r.bytes(clsLen, &p)) {
    return std::nullopt;
  }
  if (visible > 1 || enabled > 1) return std::nullopt;
  f.cls.assign(reinterpret_cast<const char*>(p), clsLen);
  if (!r.u32(&textLen) || !r.bytes(textLen, &p) || !r.atEnd()) return std::nullopt;
  f.text.assign(reinterpret_cast<const char*>(p), textLen);
  f.visible = visible != 0;
  f.enabled = enabled != 0;
  return f;
}

}  // namespace winsim::user::wire
