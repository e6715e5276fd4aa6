// Owning pointer to a reference-counted interface: copy adds a reference, move steals it.
#pragma once

#include <utility>

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to p.
  explicit ComPtr(T* p) : ptr(p) {
    if (ptr) ptr->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.ptr) {}
  ComPtr(ComPtr&& other) noexcept : ptr(other.Detach()) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr, other.ptr);
    return *this;
  }

  // Adopts a reference the caller already owns (a factory's out-parameter).
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.ptr = p;
    return result;
  }

  void Reset() {
    if (T* old = std::exchange(ptr, nullptr)) old->Release();
  }
  T* Detach() { return std::exchange(ptr, nullptr); }
  T* Get() const { return ptr; }
  T* operator->() const { return ptr; }
  explicit operator bool() const { return ptr != nullptr; }

  // For out-parameters; only on an empty pointer, so no reference is lost.
  T** operator&() {
    Reset();
    return &ptr;
  }

 private:
  T* ptr = nullptr;
};
