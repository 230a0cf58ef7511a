// winsim: the frames processes exchange on their message sockets.
//
// A frame is "KVWM", the body length (32-bit little-endian) and the body:
// kind, message, operation, status (32-bit each), target, wParam, lParam,
// data tag (64-bit each), the data length (32-bit) and the data. Everything
// read from a socket is checked against these bounds before it is used: a
// malformed frame from another process is refused, never trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace winsim::user::wire {

enum class Kind : std::uint32_t {
  Post = 1,        // a message for a window's queue (target: the window)
  ThreadPost = 2,  // a message for a thread's queue (target: the thread id)
  Send = 3,        // a message sent to a window; answered with a Reply
  Query = 4,       // what the process knows about a window; answered with a Reply
  Reply = 5,       // status 1 for success, 0 for failure; lParam carries the answer
};

struct Frame {
  Kind kind = Kind::Post;
  std::uint32_t msg = 0;
  std::uint32_t op = 0;
  std::uint32_t status = 0;
  std::uint64_t target = 0;
  std::uint64_t wParam = 0;
  std::uint64_t lParam = 0;
  std::uint64_t dataTag = 0;
  std::vector<std::uint8_t> data;
};

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kFixedBodySize = 4 * 4 + 8 * 4 + 4;
// A WM_COPYDATA block larger than this is refused (the sender gets a failure).
constexpr std::size_t kMaxData = 16u << 20;

std::vector<std::uint8_t> encode(const Frame& frame);
// The body length announced by a header; nothing for a bad magic or a length
// out of bounds.
std::optional<std::size_t> bodyLength(const std::uint8_t* header, std::size_t size);
// Decodes a body of exactly `size` bytes; nothing when it is malformed.
std::optional<Frame> decodeBody(const std::uint8_t* body, std::size_t size);
// Decodes a whole frame (header and body).
std::optional<Frame> decode(const std::uint8_t* bytes, std::size_t size);

// The answer to a Query, carried in a Reply's data.
struct WindowFacts {
  std::uint32_t pid = 0;
  std::uint32_t threadId = 0;
  bool visible = false;
  bool enabled = false;
  std::uint64_t parent = 0;
  std::uint64_t lastActivePopup = 0;
  std::string cls;
  std::string text;
};
std::vector<std::uint8_t> encodeFacts(const WindowFacts& facts);
std::optional<WindowFacts> decodeFacts(const std::uint8_t* bytes, std::size_t size);

}  // namespace winsim::user::wire
