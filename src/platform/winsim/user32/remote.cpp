// winsim: what the processes of one machine share about windows: the
// machine's window table (which process owns which handles, the top-level
// windows with their class and title, the foreground window), the table of
// registered messages, and the sockets on which each process receives the
// messages that other processes post and send to its windows.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <thread>
#include <unordered_map>

#include "machine.h"
#include "modules.h"
#include "process_table.h"
#include "user32/user_private.h"
#include "user32/wire.h"

namespace winsim::user {
namespace {

// ---- Window table file ----------------------------------------------------------
// <root>/windows.txt, one record a line:
//   next BLOCK
//   block BLOCK PID START
//   window HWND PID START VISIBLE MESSAGEONLY CLASS TITLE   (CLASS and TITLE escaped)
//   foreground HWND
// Handles are BLOCK * 256 + 2 * i (i = 1..127); each process takes whole blocks.
constexpr unsigned kFirstBlock = 0x200;
constexpr unsigned kHandlesPerBlock = 127;

struct BlockRecord {
  unsigned block = 0;
  ProcessIdentity owner;
};
struct WindowRecord {
  PublishedWindow w;
  unsigned long long start = 0;
};
struct MachineWindows {
  unsigned next = kFirstBlock;
  std::vector<BlockRecord> blocks;
  std::vector<WindowRecord> windows;
  HWND foreground = nullptr;
};

fs::path tablePath() { return machineRoot() / "windows.txt"; }

std::string escapeField(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '%' || c <= ' ' || c == 0x7f) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out.empty() ? "%" : out;  // a lone "%" stands for the empty text
}

std::string unescapeField(const std::string& s) {
  if (s == "%") return "";
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const std::string hex = s.substr(i + 1, 2);
      char* end = nullptr;
      const long v = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out += static_cast<char>(v);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

HWND toHwnd(unsigned long long v) { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(v)); }
unsigned long long fromHwnd(HWND h) { return static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(h)); }

MachineWindows readTable() {
  MachineWindows t;
  auto text = readWholeFile(tablePath());
  if (!text) return t;
  std::istringstream in(*text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string kind;
    ls >> kind;
    if (kind == "next") {
      ls >> t.next;
    } else if (kind == "block") {
      BlockRecord b;
      if (ls >> b.block >> b.owner.pid >> b.owner.start) t.blocks.push_back(b);
    } else if (kind == "window") {
      WindowRecord r;
      std::string h, cls, title;
      int visible = 0, messageOnly = 0;
      if (ls >> h >> r.w.pid >> r.start >> visible >> messageOnly >> cls >> title) {
        r.w.hwnd = toHwnd(std::strtoull(h.c_str(), nullptr, 16));
        r.w.visible = visible != 0;
        r.w.messageOnly = messageOnly != 0;
        r.w.cls = unescapeField(cls);
        r.w.title = unescapeField(title);
        t.windows.push_back(r);
      }
    } else if (kind == "foreground") {
      std::string h;
      if (ls >> h) t.foreground = toHwnd(std::strtoull(h.c_str(), nullptr, 16));
    }
  }
  if (t.next < kFirstBlock) t.next = kFirstBlock;
  return t;
}

// Drops what processes that have ended left behind.
void prune(MachineWindows& t) {
  std::erase_if(t.blocks, [](const BlockRecord& b) { return !processAlive(b.owner); });
  std::erase_if(t.windows, [](const WindowRecord& r) { return !processAlive({r.w.pid, r.start}); });
}

void writeTable(const MachineWindows& t) {
  std::ostringstream out;
  out << "next " << t.next << "\n";
  for (auto& b : t.blocks) out << "block " << b.block << " " << b.owner.pid << " " << b.owner.start << "\n";
  char h[32];
  for (auto& r : t.windows) {
    std::snprintf(h, sizeof h, "%08llx", fromHwnd(r.w.hwnd));
    out << "window " << h << " " << r.w.pid << " " << r.start << " " << (r.w.visible ? 1 : 0) << " "
        << (r.w.messageOnly ? 1 : 0) << " " << escapeField(r.w.cls) << " " << escapeField(r.w.title) << "\n";
  }
  if (t.foreground) {
    std::snprintf(h, sizeof h, "%08llx", fromHwnd(t.foreground));
    out << "foreground " << h << "\n";
  }
  atomicWriteFile(tablePath(), out.str());
}

// Handle blocks of this process and the owners of foreign blocks seen so far.
std::mutex g_blockMutex;
unsigned g_block = 0;
unsigned g_used = kHandlesPerBlock;
std::unordered_map<unsigned, ProcessIdentity>& knownOwners() {
  static auto* m = new std::unordered_map<unsigned, ProcessIdentity>;
  return *m;
}

// ---- Sockets ----------------------------------------------------------------------
// Each process listens on an abstract Unix socket named after the machine
// root and its process id; the abstract namespace keeps clear of the 107-byte
// limit of socket paths and leaves nothing behind when a process dies.
std::string socketName(unsigned pid) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a of the machine root
  for (unsigned char c : machineRoot().string()) h = (h ^ c) * 1099511628211ull;
  char buf[64];
  std::snprintf(buf, sizeof buf, "kvsim-%016llx-%u", static_cast<unsigned long long>(h), pid);
  return buf;
}

socklen_t fillAddress(sockaddr_un* addr, unsigned pid) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  const std::string name = socketName(pid);
  std::memcpy(addr->sun_path + 1, name.data(), name.size());
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

bool writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

bool readAll(int fd, std::uint8_t* p, size_t n) {
  size_t off = 0;
  while (off < n) {
    const ssize_t r = ::recv(fd, p + off, n - off, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    off += static_cast<size_t>(r);
  }
  return true;
}

std::optional<wire::Frame> readFrame(int fd) {
  std::uint8_t header[wire::kHeaderSize];
  if (!readAll(fd, header, sizeof header)) return std::nullopt;
  auto len = wire::bodyLength(header, sizeof header);
  if (!len) return std::nullopt;
  std::vector<std::uint8_t> body(*len);
  if (!readAll(fd, body.data(), body.size())) return std::nullopt;
  return wire::decodeBody(body.data(), body.size());
}

int connectTo(unsigned pid) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un addr;
  const socklen_t len = fillAddress(&addr, pid);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void setReceiveTimeout(int fd, int seconds) {
  timeval tv{seconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

wire::Frame replyFrame(bool ok, std::uint64_t value = 0) {
  wire::Frame f;
  f.kind = wire::Kind::Reply;
  f.status = ok ? 1 : 0;
  f.lParam = value;
  return f;
}

wire::Frame answerQuery(HWND hwnd) {
  std::lock_guard<std::mutex> guard(waitMutex());
  auto w = findWindowLocked(hwnd);
  if (!w) return replyFrame(false);
  wire::WindowFacts facts;
  facts.pid = currentProcessId();
  facts.threadId = w->threadId;
  facts.visible = w->visible;
  facts.enabled = w->enabled;
  facts.parent = fromHwnd(w->isChild() ? w->parent : ((w->style & WS_POPUP) ? w->owner : nullptr));
  facts.lastActivePopup = fromHwnd(w->lastActivePopup);
  facts.cls = w->cls ? w->cls->name : "";
  facts.text = w->text;
  auto f = replyFrame(true);
  f.data = wire::encodeFacts(facts);
  return f;
}

// Serves one connection: one frame in, one reply out.
void serveConnection(int fd) {
  setReceiveTimeout(fd, 30);
  auto frame = readFrame(fd);
  if (!frame) {
    ::close(fd);
    return;
  }
  wire::Frame reply = replyFrame(false);
  const HWND hwnd = toHwnd(frame->target);
  switch (frame->kind) {
    case wire::Kind::Post:
      reply = replyFrame(deliverRemotePost(hwnd, frame->msg, static_cast<WPARAM>(frame->wParam),
                                           static_cast<LPARAM>(frame->lParam)));
      break;
    case wire::Kind::ThreadPost:
      reply = replyFrame(deliverRemoteThreadPost(static_cast<DWORD>(frame->target), frame->msg,
                                                 static_cast<WPARAM>(frame->wParam),
                                                 static_cast<LPARAM>(frame->lParam)));
      break;
    case wire::Kind::Send: {
      auto m = std::make_shared<SentMessage>();
      m->hwnd = hwnd;
      m->msg = frame->msg;
      m->wParam = static_cast<WPARAM>(frame->wParam);
      m->lParam = static_cast<LPARAM>(frame->lParam);
      m->op = static_cast<int>(frame->op);
      if (m->op != kOpMessage && m->op != kOpShowWindow && m->op != kOpEnableWindow) break;
      // The data of WM_COPYDATA and WM_SETTEXT travels with the frame; any
      // other message's lParam is passed as the number it is.
      if (m->op == kOpMessage && (m->msg == WM_COPYDATA || m->msg == WM_SETTEXT ||
                                  (m->msg == WM_DEVICECHANGE && !frame->data.empty()))) {
        m->marshalled = true;
        m->dataTag = static_cast<ULONG_PTR>(frame->dataTag);
        m->data = std::move(frame->data);
      } else if (m->op == kOpMessage && m->msg == WM_GETTEXT) {
        break;  // a pointer into another process cannot be written
      }
      const bool ok = deliverRemoteSend(m);
      reply = replyFrame(ok, static_cast<std::uint64_t>(m->result));
      break;
    }
    case wire::Kind::Query:
      reply = answerQuery(hwnd);
      break;
    case wire::Kind::Reply:
      break;
  }
  writeAll(fd, wire::encode(reply));
  ::close(fd);
}

std::once_flag g_serverOnce;

void startServer() {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_un addr;
  const socklen_t len = fillAddress(&addr, currentProcessId());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 64) != 0) {
    ::close(fd);
    return;
  }
  std::thread([fd] {
    for (;;) {
      const int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE) {
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
          continue;
        }
        return;
      }
      std::thread(serveConnection, c).detach();
    }
  }).detach();
}

// One request and its reply, for posts and queries (answered by the other
// process's server thread at once, without waiting for its window's thread).
std::optional<wire::Frame> exchange(unsigned pid, const wire::Frame& request) {
  const int fd = connectTo(pid);
  if (fd < 0) return std::nullopt;
  setReceiveTimeout(fd, 30);
  std::optional<wire::Frame> reply;
  if (writeAll(fd, wire::encode(request))) reply = readFrame(fd);
  ::close(fd);
  if (reply && reply->kind != wire::Kind::Reply) return std::nullopt;
  return reply;
}

unsigned ownerFor(HWND hwnd) {
  const unsigned pid = ownerProcessOf(hwnd);
  return pid == currentProcessId() ? 0 : pid;
}

}  // namespace

HWND allocateWindowHandle() {
  std::lock_guard<std::mutex> guard(g_blockMutex);
  if (g_used >= kHandlesPerBlock) {
    MachineLock lock;
    auto t = readTable();
    prune(t);
    const unsigned block = t.next++;
    if (block >= 0xFFFFFF) return nullptr;  // handles must stay 32-bit numbers
    t.blocks.push_back({block, selfIdentity()});
    writeTable(t);
    g_block = block;
    g_used = 0;
    knownOwners()[block] = selfIdentity();
  }
  ++g_used;
  return toHwnd(static_cast<unsigned long long>(g_block) * 256 + 2 * g_used);
}

unsigned ownerProcessOf(HWND hwnd) {
  const unsigned long long v = fromHwnd(hwnd);
  if (v > 0xFFFFFFFFull || (v & 1) != 0) return 0;
  const unsigned block = static_cast<unsigned>(v / 256);
  if (block < kFirstBlock) return 0;
  ProcessIdentity owner;
  {
    std::lock_guard<std::mutex> guard(g_blockMutex);
    auto it = knownOwners().find(block);
    if (it != knownOwners().end()) owner = it->second;
  }
  if (owner.pid == 0) {
    for (auto& b : readTable().blocks) {
      if (b.block != block) continue;
      owner = b.owner;
      std::lock_guard<std::mutex> guard(g_blockMutex);
      knownOwners()[block] = owner;
    }
  }
  if (owner.pid == 0 || !processAlive(owner)) return 0;
  return owner.pid;
}

void publishWindow(HWND hwnd, const std::string& cls, const std::string& title, bool visible, bool messageOnly) {
  MachineLock lock;
  auto t = readTable();
  prune(t);
  WindowRecord r;
  r.w = PublishedWindow{hwnd, currentProcessId(), visible, messageOnly, cls, title};
  r.start = selfIdentity().start;
  bool found = false;
  for (auto& e : t.windows) {
    if (e.w.hwnd == hwnd) {
      e = r;
      found = true;
    }
  }
  if (!found) t.windows.push_back(r);
  writeTable(t);
}

void unpublishWindow(HWND hwnd) {
  MachineLock lock;
  auto t = readTable();
  prune(t);
  std::erase_if(t.windows, [&](const WindowRecord& r) { return r.w.hwnd == hwnd; });
  if (t.foreground == hwnd) t.foreground = nullptr;
  writeTable(t);
}

std::vector<PublishedWindow> publishedWindows() {
  auto t = readTable();
  prune(t);
  std::vector<PublishedWindow> out;
  for (auto& r : t.windows) out.push_back(r.w);
  return out;
}

std::vector<ListedWindow> listWindows() {
  std::vector<ListedWindow> out;
  for (auto& w : publishedWindows()) out.push_back({w.hwnd, w.pid, w.cls, w.title, w.visible, w.messageOnly});
  return out;
}

void setMachineForeground(HWND hwnd) {
  MachineLock lock;
  auto t = readTable();
  prune(t);
  t.foreground = hwnd;
  writeTable(t);
}

HWND machineForeground() { return readTable().foreground; }

void ensureServer() {
  std::call_once(g_serverOnce, startServer);
}

bool remotePost(unsigned pid, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  wire::Frame f;
  f.kind = wire::Kind::Post;
  f.target = fromHwnd(hwnd);
  f.msg = msg;
  f.wParam = wParam;
  f.lParam = static_cast<std::uint64_t>(lParam);
  auto r = exchange(pid, f);
  if (!r || r->status != 1) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return true;
}

bool remoteThreadPost(unsigned pid, DWORD tid, UINT msg, WPARAM wParam, LPARAM lParam) {
  wire::Frame f;
  f.kind = wire::Kind::ThreadPost;
  f.target = tid;
  f.msg = msg;
  f.wParam = wParam;
  f.lParam = static_cast<std::uint64_t>(lParam);
  auto r = exchange(pid, f);
  return r && r->status == 1;
}

namespace {

// A send to another process, carried out on a helper thread so that the
// sending thread can go on handling messages sent to itself meanwhile.
struct PendingSend {
  bool finished = false;
  bool ok = false;
  LRESULT result = 0;
  int fd = -1;
};

std::optional<LRESULT> remoteSendFrame(unsigned pid, const wire::Frame& f, unsigned timeoutMs) {
  auto pending = std::make_shared<PendingSend>();
  const int fd = connectTo(pid);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return std::nullopt;
  }
  pending->fd = fd;
  std::thread([pending, fd, bytes = wire::encode(f)] {
    std::optional<wire::Frame> reply;
    if (writeAll(fd, bytes)) reply = readFrame(fd);
    std::lock_guard<std::mutex> guard(waitMutex());
    pending->finished = true;
    pending->ok = reply && reply->kind == wire::Kind::Reply && reply->status == 1;
    if (pending->ok) pending->result = static_cast<LRESULT>(reply->lParam);
    ::close(fd);
    pending->fd = -1;
    notifyWaiters();
  }).detach();
  auto self = currentQueue();
  std::unique_lock<std::mutex> lock(waitMutex());
  const auto r = waitLocked(
      lock, {}, false, machineDeadline(timeoutMs), [&] { return pending->finished; },
      [&](std::unique_lock<std::mutex>& l) { handleSentMessages(l, *self); });
  if (r.outcome == WaitOutcome::Timeout) {
    // Wake the helper; the other process's answer, if it still comes, is dropped.
    if (pending->fd >= 0) ::shutdown(pending->fd, SHUT_RDWR);
    SetLastError(ERROR_TIMEOUT);
    return std::nullopt;
  }
  if (!pending->ok) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return std::nullopt;
  }
  return pending->result;
}

}  // namespace

std::optional<LRESULT> remoteSend(unsigned pid, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                  unsigned timeoutMs) {
  wire::Frame f;
  f.kind = wire::Kind::Send;
  f.target = fromHwnd(hwnd);
  f.msg = msg;
  f.wParam = wParam;
  f.lParam = static_cast<std::uint64_t>(lParam);
  if (msg == WM_COPYDATA) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (cds) {
      if (cds->cbData > wire::kMaxData || (cds->cbData && !cds->lpData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
      }
      f.dataTag = cds->dwData;
      auto* p = static_cast<const std::uint8_t*>(cds->lpData);
      f.data.assign(p, p + cds->cbData);
    }
  } else if (msg == WM_SETTEXT) {
    const char* s = reinterpret_cast<const char*>(lParam);
    if (s) f.data.assign(s, s + std::strlen(s));
  } else if (msg == WM_DEVICECHANGE && lParam) {
    // The record starts with its size (DEV_BROADCAST_HDR::dbch_size).
    DWORD size = 0;
    std::memcpy(&size, reinterpret_cast<const void*>(lParam), sizeof size);
    if (size < sizeof(DWORD) || size > wire::kMaxData) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return std::nullopt;
    }
    auto* p = reinterpret_cast<const std::uint8_t*>(lParam);
    f.data.assign(p, p + size);
  } else if (msg == WM_GETTEXT) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return std::nullopt;
  }
  return remoteSendFrame(pid, f, timeoutMs);
}

bool remoteQueryWindow(HWND hwnd, RemoteWindowInfo* info) {
  const unsigned pid = ownerFor(hwnd);
  if (!pid) return false;
  wire::Frame f;
  f.kind = wire::Kind::Query;
  f.target = fromHwnd(hwnd);
  auto r = exchange(pid, f);
  if (!r || r->status != 1) return false;
  auto facts = wire::decodeFacts(r->data.data(), r->data.size());
  if (!facts) return false;
  if (info) {
    info->pid = facts->pid;
    info->threadId = facts->threadId;
    info->visible = facts->visible;
    info->enabled = facts->enabled;
    info->parent = toHwnd(facts->parent);
    info->lastActivePopup = toHwnd(facts->lastActivePopup);
    info->cls = facts->cls;
    info->text = facts->text;
  }
  return true;
}

BOOL remoteShowWindow(HWND hwnd, int nCmdShow) {
  const unsigned pid = ownerFor(hwnd);
  wire::Frame f;
  f.kind = wire::Kind::Send;
  f.op = kOpShowWindow;
  f.target = fromHwnd(hwnd);
  f.wParam = static_cast<std::uint64_t>(nCmdShow);
  auto r = pid ? remoteSendFrame(pid, f, INFINITE) : std::nullopt;
  return r ? static_cast<BOOL>(*r) : FALSE;
}

BOOL remoteEnableWindow(HWND hwnd, BOOL enable) {
  const unsigned pid = ownerFor(hwnd);
  wire::Frame f;
  f.kind = wire::Kind::Send;
  f.op = kOpEnableWindow;
  f.target = fromHwnd(hwnd);
  f.wParam = static_cast<std::uint64_t>(enable);
  auto r = pid ? remoteSendFrame(pid, f, INFINITE) : std::nullopt;
  return r ? static_cast<BOOL>(*r) : FALSE;
}

// ---- Registered messages ---------------------------------------------------------
// <root>/messages.txt: "ID NAME" a line (NAME escaped), ids from 0xC000 up.
namespace {

std::mutex g_registeredMutex;
std::map<std::string, UINT>& registeredCache() {
  static auto* m = new std::map<std::string, UINT>;
  return *m;
}

}  // namespace

UINT registerMessage(const std::string& name) {
  const std::string key = toLower(name);
  {
    std::lock_guard<std::mutex> guard(g_registeredMutex);
    auto it = registeredCache().find(key);
    if (it != registeredCache().end()) return it->second;
  }
  MachineLock lock;
  const fs::path path = machineRoot() / "messages.txt";
  std::string text = readWholeFile(path).value_or("");
  std::istringstream in(text);
  std::string line;
  UINT next = 0xC000;
  UINT found = 0;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string id, n;
    if (!(ls >> id >> n)) continue;
    const UINT v = static_cast<UINT>(std::strtoul(id.c_str(), nullptr, 16));
    if (v >= next) next = v + 1;
    if (toLower(unescapeField(n)) == key) found = v;
  }
  if (!found) {
    if (next > 0xFFFF) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", next);
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += std::string(buf) + " " + escapeField(name) + "\n";
    if (!atomicWriteFile(path, text)) {
      SetLastError(ERROR_WRITE_FAULT);
      return 0;
    }
    found = next;
  }
  std::lock_guard<std::mutex> guard(g_registeredMutex);
  registeredCache()[key] = found;
  return found;
}

}  // namespace winsim::user

// RegisterWindowMessageA: the machine-wide id (0xC000..0xFFFF) of the name,
// the same in every process and for every case of the name; 0 with
// ERROR_INVALID_PARAMETER for an empty name.
extern "C" UINT WINAPI RegisterWindowMessageA(LPCSTR lpString) {
  if (!lpString || !*lpString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return winsim::user::registerMessage(lpString);
}

static const winsim::ExportRegistrar kExports("user32.dll", {WINSIM_EXPORT(RegisterWindowMessageA)});
