// Composes a short text in a fixed buffer, cutting what does not fit and never writing past it.
// The program's few messages and INI keys need nothing more, and a general formatter would
// carry the runtime's whole printf and float conversion into the exe.
#pragma once
#include <cstddef>
#include <cstdint>

class TBoundedText {
public:
  TBoundedText(char* buffer, size_t size) : text(buffer), size(size) {
    if (size > 0) text[0] = '\0';
  }
  TBoundedText(const TBoundedText&) = delete;
  TBoundedText& operator=(const TBoundedText&) = delete;

  TBoundedText& Add(const char* part) {
    while (*part) Put(*part++);
    return *this;
  }
  TBoundedText& Decimal(int32_t value) {
    if (value < 0) Put('-');
    return Digits(value < 0 ? 0u - uint32_t(value) : uint32_t(value), 10);
  }
  TBoundedText& Hex(uint32_t value) { return Digits(value, 16); }

private:
  void Put(char c) {
    if (length + 1 >= size) return;
    text[length++] = c;
    text[length] = '\0';
  }
  TBoundedText& Digits(uint32_t value, uint32_t base) {
    char reversed[10];
    int count = 0;
    do {
      reversed[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0);
    while (count > 0) Put(reversed[--count]);
    return *this;
  }

  char* text;
  size_t size;
  size_t length = 0;
};
