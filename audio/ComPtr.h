// Holds one reference to a COM interface, released when the holder goes or by Reset.
#pragma once

template <class T>
class TComPtr {
public:
  TComPtr() = default;
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;

  T* Get() const { return pointer; }
  T* operator->() const { return pointer; }
  explicit operator bool() const { return pointer != nullptr; }

  // For a call that hands out a new reference through a T**: whatever was held is released first.
  T** Receive() {
    Reset();
    return &pointer;
  }
  void Reset() {
    if (T* held = pointer) {
      pointer = nullptr;
      held->Release();
    }
  }
  // Drops the pointer without releasing it: what a failed call left there, or a reference that
  // must outlive the holder.
  void Forget() { pointer = nullptr; }

private:
  T* pointer = nullptr;
};
