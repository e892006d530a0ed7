// The GNU runtime's default terminate handler names the uncaught exception on stderr, which a GUI
// program does not have, and links a whole C++ name demangler and printf into the exe to do so.
// Defining the handler here leaves them out; terminate still ends the process by abort().
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler();
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
