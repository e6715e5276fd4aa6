// Receiving goes in pieces of at most 128 bytes while at least 128 bytes of room remain, as the protocol's
// answers are small; the buffer size bounds the memory any answer can take.
#include "HttpClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

constexpr size_t kPiece = 128;

class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    ready = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (ready) WSACleanup();
  }
  bool ready = false;
};

class Socket {
 public:
  explicit Socket(SOCKET s) : s(s) {}
  ~Socket() {
    if (s != INVALID_SOCKET) closesocket(s);
  }
  SOCKET Get() const { return s; }

 private:
  SOCKET s;
};

// Waits until the socket can be read (or written); false when the deadline passed first.
bool WaitFor(SOCKET s, bool write, ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  if (now >= deadline) return false;
  const ULONGLONG left = deadline - now;
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  fd_set errors;
  FD_ZERO(&errors);
  FD_SET(s, &errors);
  timeval wait = {static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
  return select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &wait) > 0 && FD_ISSET(s, &set);
}

SOCKET Connect(const std::string& host, int port, ULONGLONG deadline) {
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (host.empty() || getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return INVALID_SOCKET;
  SOCKET connected = INVALID_SOCKET;
  for (addrinfo* address = found; address && connected == INVALID_SOCKET; address = address->ai_next) {
    SOCKET s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    int error = 0;
    int size = sizeof(error);
    if ((connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0 ||
         (WSAGetLastError() == WSAEWOULDBLOCK && WaitFor(s, true, deadline))) &&
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0) {
      connected = s;
    } else {
      closesocket(s);
    }
  }
  freeaddrinfo(found);
  return connected;
}

}  // namespace

HttpExchangeResult HttpExchange(const std::string& host, int port, const std::string& request, size_t bufferSize,
                                DWORD timeoutMs) {
  HttpExchangeResult result;
  WinsockSession session;
  if (!session.ready) return result;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  Socket s(Connect(host, port, deadline));
  if (s.Get() == INVALID_SOCKET) return result;
  for (size_t sent = 0; sent < request.size();) {
    const int count = send(s.Get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (count > 0) {
      sent += static_cast<size_t>(count);
    } else if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitFor(s.Get(), true, deadline)) {
      return result;
    }
  }
  char piece[kPiece];
  while (result.answer.size() + kPiece <= bufferSize) {
    if (!WaitFor(s.Get(), false, deadline)) break;
    const int count = recv(s.Get(), piece, static_cast<int>(kPiece), 0);
    if (count <= 0) break;
    result.answer.append(piece, static_cast<size_t>(count));
  }
  result.filled = result.answer.size() + kPiece > bufferSize;
  result.contacted = !result.answer.empty();
  return result;
}
