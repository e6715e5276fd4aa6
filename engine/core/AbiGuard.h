// The exception firewall of every exported function: no C++ exception crosses the engine's boundary.
#pragma once

#include <windows.h>

#include <new>

// Runs body; out of memory becomes E_OUTOFMEMORY, any other exception onError.
template <class Result, class Body>
Result GuardedCall(Result onError, Result onOutOfMemory, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return onOutOfMemory;
  } catch (...) {
    return onError;
  }
}

template <class Body>
HRESULT GuardedHResult(Body&& body) noexcept {
  return GuardedCall<HRESULT>(E_FAIL, E_OUTOFMEMORY, static_cast<Body&&>(body));
}

template <class Body>
BOOL GuardedBool(Body&& body) noexcept {
  return GuardedCall<BOOL>(FALSE, FALSE, static_cast<Body&&>(body));
}
