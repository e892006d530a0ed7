// Least-squares fit of one sine (with offset) to a signal: its frequency, and what is left over.
#pragma once
#include <vector>

struct TToneFit {
  double hz = 0;
  double amplitude = 0;
  double residualRms = 0;  // of everything that is not the tone
};

TToneFit FitTone(const std::vector<double>& signal, double rate);
