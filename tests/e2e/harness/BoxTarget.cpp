// A program that does one thing a test wants to look at from outside:
//   box_target box CAPTION TEXT     shows a message box (\n in TEXT is a line feed)
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "box" && argc == 4) {
    std::string text = argv[3];
    for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
    MessageBoxA(nullptr, text.c_str(), argv[2], MB_ICONERROR);
    return 0;
  }
  return 2;
}
