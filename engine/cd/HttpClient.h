// One HTTP/1.0 exchange over a TCP connection of our own: connect, send the request, receive until the peer
// closes or the buffer is full. Every step shares one deadline, so a server that never answers, or answers a byte
// at a time, cannot hold the caller longer than the time-out.
#pragma once

#include <windows.h>

#include <string>

struct HttpExchangeResult {
  bool contacted = false;  // connected and something came back
  std::string answer;      // at most the buffer size
  bool filled = false;     // the answer stopped at the buffer's size: it may go on
};

HttpExchangeResult HttpExchange(const std::string& host, int port, const std::string& request, size_t bufferSize,
                                DWORD timeoutMs);
