// A C stdio file that closes itself.
#pragma once
#include <cstdio>
#include <memory>

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

using TStdioFile = std::unique_ptr<std::FILE, TFileCloser>;
