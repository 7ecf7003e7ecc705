#pragma once
// The Windows test's end of tests/motion/arduino_emulator.py: the COM port the
// emulated board sits on and its control socket (requests are described in
// the emulator). Test programs that talk to the board run under the emulator,
// which puts NERIN_ARDUINO_COM and NERIN_ARDUINO_CONTROL into their
// environment. Link ws2_32.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace arduino_emulator {

// What the program sends when it connects to a board whose axes are all at 0:
// zero X, ask every position, then speeds (1000 um/s) and accelerations
// (7000 sent as 5000 for X, Y, Z; 1000 for the turret).
inline const std::string connectionBytes =
    "z\n"
    "p\nP\nQ\nq\n"
    "s-6400\nS-6400\nT-6400\nO6400\n"
    "a-32000\nA-32000\nb-32000\nu6400\n";

inline std::string escape(std::string_view bytes) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    if (b == '\\') out += "\\\\";
    else if (b == '\n') out += "\\n";
    else if (b == '\r') out += "\\r";
    else if (b >= 0x21 && b <= 0x7E) out += static_cast<char>(b);
    else out += {'\\', 'x', hex[b >> 4], hex[b & 15]};
  }
  return out;
}

inline std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == 'n') out += '\n';
    else if (next == 'r') out += '\r';
    else if (next == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else out += next;
  }
  return out;
}

class Client {
 public:
  Client() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    const char* port = std::getenv("NERIN_ARDUINO_COM");
    comPort_ = port ? std::atoi(port) : 0;
    const char* control = std::getenv("NERIN_ARDUINO_CONTROL");
    if (!started_ || !control) return;
    const std::string address = control;
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos) return;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.substr(0, colon).c_str(), address.substr(colon + 1).c_str(), &hints,
                    &found) != 0)
      return;
    socket_ = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (socket_ != INVALID_SOCKET &&
        connect(socket_, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
      closesocket(socket_);
      socket_ = INVALID_SOCKET;
    }
    freeaddrinfo(found);
    if (socket_ != INVALID_SOCKET) {
      DWORD timeoutMs = 10000;  // no request may hang a test
      setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    }
  }
  ~Client() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (started_) WSACleanup();
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return socket_ != INVALID_SOCKET; }
  int comPort() const { return comPort_; }

  // The answer line without its line feed; "ERR ..." when the emulator
  // cannot be reached.
  std::string request(const std::string& line) {
    if (!connected()) return "ERR not connected";
    const std::string out = line + "\n";
    if (send(socket_, out.data(), static_cast<int>(out.size()), 0) != static_cast<int>(out.size()))
      return "ERR send";
    std::string answer;
    char c;
    while (recv(socket_, &c, 1, 0) == 1) {
      if (c == '\n') return answer;
      answer += c;
    }
    return "ERR receive";
  }
  bool ok(const std::string& line) { return request(line).rfind("OK", 0) == 0; }

  bool reset() { return ok("RESET"); }
  bool clear() { return ok("CLEAR"); }
  // Every byte the board received since the last RESET or CLEAR.
  std::string received() {
    const std::string answer = request("RECEIVED");
    return answer.rfind("OK ", 0) == 0 ? unescape(answer.substr(3)) : std::string();
  }
  // Polls until the board has received exactly these bytes; the bytes seen
  // last are left in lastReceived for a failure message.
  bool waitForReceived(const std::string& expected, DWORD timeoutMs = 10000) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      lastReceived = received();
      if (lastReceived == expected) return true;
      const bool onTheWay = expected.compare(0, lastReceived.size(), lastReceived) == 0;
      if (!onTheWay || GetTickCount64() - start > timeoutMs) return false;
      Sleep(10);
    }
  }
  std::string state() { return request("STATE"); }

  std::string lastReceived;

 private:
  bool started_ = false;
  int comPort_ = 0;
  SOCKET socket_ = INVALID_SOCKET;
};

// The emulated board of this test program.
inline Client& board() {
  static Client client;
  return client;
}

}  // namespace arduino_emulator
