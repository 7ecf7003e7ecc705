// WSAAsyncSelect is what brings the socket events onto the window thread;
// Visual Studio would warn that it is old.
#define _WINSOCK_DEPRECATED_NO_WARNINGS

#include "console/remote/remote_link.h"

#include "console/remote/remote_protocol.h"

#include <winsock2.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr UINT socketMessage = WM_APP + 1;
// A client is to be closed once no line of it is being handled.
constexpr UINT dropMessage = WM_APP + 2;
constexpr UINT_PTR keyTimer = 1;
constexpr UINT_PTR lingerTimer = 2;
// A closed connection keeps its socket this long, so that what was sent
// last (the "busy" line, an error) reaches the client before the socket
// goes; what the client still sends meanwhile is read and dropped.
constexpr ULONGLONG lingerMs = 2000;
// A client that reads none of its replies is not queued for without end.
constexpr size_t maxQueuedBytes = 4 * 1024 * 1024;
constexpr int readChunk = 16 * 1024;

class Socket {
 public:
  Socket() = default;
  explicit Socket(SOCKET s) : s_(s) {}
  ~Socket() { reset(); }
  Socket(Socket&& other) noexcept : s_(std::exchange(other.s_, INVALID_SOCKET)) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      reset();
      s_ = std::exchange(other.s_, INVALID_SOCKET);
    }
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SOCKET get() const { return s_; }
  explicit operator bool() const { return s_ != INVALID_SOCKET; }
  void reset() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    s_ = INVALID_SOCKET;
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

struct Client {
  Socket socket;
  bool keyed = false;     // presented the key
  bool peerGone = false;  // closed its side: what it sent is still handled, then it is closed
  bool closing = false;   // to be closed without handling more of it
  LineFramer framer;
  std::string out;       // queued, not yet taken by the socket
};

struct Lingering {
  Socket socket;
  ULONGLONG until;
};

struct Link {
  HWND window = nullptr;
  bool winsock = false;
  Socket listener;
  std::string key;
  RemoteLinkHandlers handlers;
  std::optional<Client> client;
  std::vector<Lingering> lingering;
  unsigned keyedCount = 0;
  unsigned serial = 0;      // of the keyed client connected now
  bool delivering = false;  // a line is being handled
};
Link link;

constexpr wchar_t windowClass[] = L"NerinRemoteLink";

// Best effort: whatever the socket takes now.
void sendNow(SOCKET s, std::string& out) {
  while (!out.empty()) {
    const int n = send(s, out.data(), static_cast<int>(std::min<size_t>(out.size(), 1 << 20)), 0);
    if (n <= 0) return;
    out.erase(0, static_cast<size_t>(n));
  }
}

// The socket stops sending; it is closed when the client closes its side
// or the linger time is over.
void linger(Socket socket) {
  shutdown(socket.get(), SD_SEND);
  link.lingering.push_back({std::move(socket), GetTickCount64() + lingerMs});
  SetTimer(link.window, lingerTimer, 250, nullptr);
}

void dropClient() {
  if (!link.client) return;
  Client gone = std::move(*link.client);
  link.client.reset();
  KillTimer(link.window, keyTimer);
  sendNow(gone.socket.get(), gone.out);
  linger(std::move(gone.socket));
  if (gone.keyed) {
    link.serial = 0;
    if (link.handlers.disconnected) link.handlers.disconnected();
  }
}

// Closed as soon as no line of it is being handled (closing it in the
// middle would pull the connection from under the command).
void dropSoon() {
  if (!link.client) return;
  link.client->closing = true;
  PostMessageW(link.window, dropMessage, 0, 0);
}

void flush() {
  if (!link.client) return;
  Client& c = *link.client;
  while (!c.out.empty()) {
    const int n = send(c.socket.get(), c.out.data(), static_cast<int>(std::min<size_t>(c.out.size(), 1 << 20)), 0);
    if (n > 0) {
      c.out.erase(0, static_cast<size_t>(n));
      continue;
    }
    // The rest goes out at FD_WRITE.
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) break;
    c.out.clear();
    dropSoon();
    return;
  }
  if (c.out.size() > maxQueuedBytes) {
    c.out.clear();
    dropSoon();
  }
}

// Every line that has arrived, handed over one at a time.
void handleLines() {
  if (link.delivering) return;
  link.delivering = true;
  while (link.client && !link.client->closing) {
    Client& c = *link.client;
    std::optional<std::string> line = c.framer.next();
    if (c.framer.overflowed()) {
      // Before the key nothing is said to the client.
      if (c.keyed) c.out += remoteError(std::nullopt, "a line is longer than 65536 bytes: the connection is closed");
      c.closing = true;
      break;
    }
    if (!line) break;
    if (!c.keyed) {
      if (!keyLineMatches(*line, link.key)) {
        c.closing = true;
        break;
      }
      c.keyed = true;
      link.serial = ++link.keyedCount;
      KillTimer(link.window, keyTimer);
      c.out += remoteKeyAccepted();
      flush();
      if (link.handlers.connected) link.handlers.connected();
      continue;
    }
    if (link.handlers.line) link.handlers.line(*line);
  }
  link.delivering = false;
  if (link.client && (link.client->closing || link.client->peerGone)) dropClient();
}

// Reads what has arrived (at most a few chunks, so that a client sending
// without pause cannot hold the console: Winsock tells again of the rest).
// False when the client has closed its side or the connection failed.
bool receive(Client& c) {
  char buffer[readChunk];
  for (int chunk = 0; chunk < 4; ++chunk) {
    const int n = recv(c.socket.get(), buffer, sizeof buffer, 0);
    if (n > 0) {
      c.framer.add(std::string_view(buffer, static_cast<size_t>(n)));
      continue;
    }
    return n < 0 && WSAGetLastError() == WSAEWOULDBLOCK;
  }
  return true;
}

// Reads what the client sent, and hands it over unless a line is being
// handled already.
void serveClient() {
  if (!receive(*link.client)) link.client->peerGone = true;
  handleLines();
}

void accept() {
  Socket socket(::accept(link.listener.get(), nullptr, nullptr));
  if (!socket) return;
  // Events of its own; this also makes it non-blocking.
  if (WSAAsyncSelect(socket.get(), link.window, socketMessage, FD_READ | FD_WRITE | FD_CLOSE) != 0) return;
  // A client that has just closed its side, and whose close has not been
  // told yet, makes no one busy (a script that reconnects at once).
  if (link.client && !link.delivering) serveClient();
  if (link.client) {
    std::string busy = remoteBusy();
    sendNow(socket.get(), busy);
    linger(std::move(socket));
    return;
  }
  link.client.emplace();
  link.client->socket = std::move(socket);
  SetTimer(link.window, keyTimer, remoteKeyWaitMs, nullptr);
  // Bytes that came before the events were asked for.
  serveClient();
}

void lingeringEvent(SOCKET s, WORD event) {
  const auto it = std::find_if(link.lingering.begin(), link.lingering.end(),
                               [s](const Lingering& l) { return l.socket.get() == s; });
  if (it == link.lingering.end()) return;
  char buffer[readChunk];
  while (recv(s, buffer, sizeof buffer, 0) > 0) {
  }
  if (event == FD_CLOSE) link.lingering.erase(it);
}

void socketEvent(SOCKET s, WORD event) {
  if (s == link.listener.get()) {
    if (event == FD_ACCEPT) accept();
    return;
  }
  if (!link.client || link.client->socket.get() != s) {
    lingeringEvent(s, event);
    return;
  }
  if (event == FD_WRITE) {
    flush();
    return;
  }
  // FD_READ, or FD_CLOSE: what the client sent before it closed its side
  // is still handled (its replies may not reach it). A close that finds the
  // connection alive came for an earlier socket of the same number.
  serveClient();
}

void sweepLingering() {
  const ULONGLONG now = GetTickCount64();
  std::erase_if(link.lingering, [now](const Lingering& l) { return now >= l.until; });
  if (link.lingering.empty()) KillTimer(link.window, lingerTimer);
}

LRESULT CALLBACK linkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case socketMessage:
      socketEvent(static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam));
      return 0;
    case dropMessage:
      if (link.client && (link.client->closing || link.client->peerGone) && !link.delivering) dropClient();
      return 0;
    case WM_TIMER:
      if (wParam == keyTimer) {
        KillTimer(window, keyTimer);
        if (link.client && !link.client->keyed) dropSoon();
        return 0;
      }
      if (wParam == lingerTimer) {
        sweepLingering();
        return 0;
      }
      break;
    default:
      break;
  }
  if (link.handlers.message && link.handlers.message(message, wParam, lParam)) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

bool fail(std::string& error, const char* what) {
  error = what;
  closeRemoteLink();
  return false;
}

}  // namespace

bool openRemoteLink(int port, const std::string& key, const RemoteLinkHandlers& handlers, std::string& error) {
  if (link.window) return fail(error, "the remote control is already open");
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return fail(error, "Windows Sockets could not be started");
  link.winsock = true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = linkWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = windowClass;
  RegisterClassExW(&wc);
  link.window = CreateWindowExW(0, windowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!link.window) return fail(error, "its window could not be created");

  link.listener = Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!link.listener) return fail(error, "no socket could be made");
  // No other program may bind the same port beside it.
  const BOOL exclusive = TRUE;
  setsockopt(link.listener.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof exclusive);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(link.listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return fail(error, "the port is taken or not allowed");
  }
  if (listen(link.listener.get(), 4) != 0 ||
      WSAAsyncSelect(link.listener.get(), link.window, socketMessage, FD_ACCEPT) != 0) {
    return fail(error, "the socket does not listen");
  }
  link.key = key;
  link.handlers = handlers;
  return true;
}

void closeRemoteLink() {
  if (link.client) {
    sendNow(link.client->socket.get(), link.client->out);
    shutdown(link.client->socket.get(), SD_SEND);
  }
  link.client.reset();
  link.lingering.clear();
  link.listener.reset();
  if (link.window) DestroyWindow(link.window);
  link.window = nullptr;
  link.handlers = {};
  link.serial = 0;
  if (link.winsock) WSACleanup();
  link.winsock = false;
}

HWND remoteLinkWindow() { return link.window; }

unsigned remoteClientSerial() { return link.serial; }

void sendRemoteLine(const std::string& line) {
  if (!link.client || !link.client->keyed || link.client->closing) return;
  link.client->out += line;
  flush();
}
