// Holds one kernel handle (an event, a thread), closed when the holder goes or by Reset.
#pragma once
#include <windows.h>

class TOwnedHandle {
public:
  TOwnedHandle() = default;
  explicit TOwnedHandle(HANDLE handle) : handle(handle) {}
  ~TOwnedHandle() { Reset(); }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;

  HANDLE Get() const { return handle; }
  explicit operator bool() const { return handle != nullptr; }
  void Reset(HANDLE next = nullptr) {
    if (handle) CloseHandle(handle);
    handle = next;
  }

private:
  HANDLE handle = nullptr;
};
