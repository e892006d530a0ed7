// The few container failures the program can meet (a length past max_size, an array length that
// overflows) end in the exception a failed allocation throws, which every catch here takes alike.
// The library's own versions bring its message formatting, std::string and random_device with
// them: more than a third of the exe. The link redirects the calls here (--wrap).
#include <new>

extern "C" {
[[noreturn]] void __wrap__ZSt20__throw_length_errorPKc(const char*) { throw std::bad_alloc(); }
[[noreturn]] void __wrap__ZSt17__throw_bad_allocv() { throw std::bad_alloc(); }
[[noreturn]] void __wrap__ZSt28__throw_bad_array_new_lengthv() { throw std::bad_alloc(); }
}
