#pragma once
// The Windows test's end of arduino_emulator.py: the COM port the
// emulated board sits on and its control socket (requests are described in
// the emulator). Test programs that talk to the board run under the emulator,
// which puts NERIN_ARDUINO_COM and NERIN_ARDUINO_CONTROL into their
// environment. Link ws2_32.

#include <winsock2.h>
#include <windows.h>

#include "scenario.h"
#include "ui_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A request's byte string as the emulator reads it back: a blank, a
// backslash and anything not printable as \xNN.
inline std::string escape(std::string_view bytes) {
  std::string out;
  char hex[5];
  for (unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, "\\x%02x", b);
    out += b > 0x20 && b < 0x7F && b != '\\' ? std::string(1, static_cast<char>(b)) : hex;
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
    const char* control = std::getenv("NERIN_ARDUINO_CONTROL");  // host:port
    const char* colon = control ? std::strrchr(control, ':') : nullptr;
    if (!started_ || !colon) return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(colon + 1)));
    address.sin_addr.s_addr = inet_addr(std::string(control, colon).c_str());
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ != INVALID_SOCKET && connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      closesocket(socket_);
      socket_ = INVALID_SOCKET;
    }
    DWORD timeoutMs = 10000;  // no request may hang a test
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
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
    for (char c; recv(socket_, &c, 1, 0) == 1; answer += c) {
      if (c == '\n') return answer;
    }
    return "ERR receive";
  }
  bool ok(const std::string& line) { return request(line).rfind("OK", 0) == 0; }

  bool reset() { return ok("RESET"); }
  bool clear() { return ok("CLEAR"); }
  // Every byte the board received since the last RESET or CLEAR.
  std::string received() {
    const std::string answer = request("RECEIVED");
    return answer.rfind("OK ", 0) == 0 ? scenario::unescape(answer.substr(3)) : std::string();
  }
  // Polls until the board has received exactly these bytes; the bytes seen
  // last are left in lastReceived for a failure message.
  bool waitForReceived(const std::string& expected, DWORD timeoutMs = 10000) {
    ui::eventually([&] {
      lastReceived = received();
      return lastReceived == expected || expected.compare(0, lastReceived.size(), lastReceived) != 0;
    }, timeoutMs);
    return lastReceived == expected;
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
