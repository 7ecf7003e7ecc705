#pragma once
// The remote control's connection: a socket listening on 127.0.0.1 only,
// one client at a time, which must present the key first; lines in and out.
// Socket events arrive as window messages (WSAAsyncSelect) and are handled
// on the UI thread between other messages, also inside a run's waits.
// Nothing blocks: the sockets are non-blocking, and what cannot be sent at
// once goes out when the socket can take it.
//
// A client is closed, and told nothing, when it does not present the key
// within remoteKeyWaitMs or presents a wrong one; a line longer than
// maxRemoteLineBytes closes it too. A second client gets one line, "busy".

#include <windows.h>

#include <string>

struct RemoteLinkHandlers {
  void (*connected)() = nullptr;     // a client presented the key
  void (*disconnected)() = nullptr;  // the client that had presented it went, or was closed
  // One line of the client after its key. Lines are handed over one at a
  // time: those that arrive while one is being handled (its command waits
  // in the message pump) follow once it is done.
  void (*line)(const std::string& line) = nullptr;
  // The link window's messages that are not the link's own: the commands
  // post their work and set their timers there. True when handled.
  bool (*message)(UINT message, WPARAM wParam, LPARAM lParam) = nullptr;
};

// Listens on 127.0.0.1:port; false, with the reason, when it cannot.
bool openRemoteLink(int port, const std::string& key, const RemoteLinkHandlers& handlers, std::string& error);
// Sends what is queued as far as the socket takes it at once, then closes
// the client and the listening socket.
void closeRemoteLink();

// The window the link's events arrive at; null while the link is closed.
HWND remoteLinkWindow();
// Counts the clients that presented their key; 0 while none is connected.
unsigned remoteClientSerial();
// Queues a line (ending in "\n") for the client that presented its key;
// nothing when none is connected.
void sendRemoteLine(const std::string& line);
