#include "ToneFit.h"

#include <cmath>
#include <utility>

namespace {

// Solves the 4x4 system a x = b in place by Gaussian elimination with partial pivoting.
void Solve4(double a[4][4], double b[4]) {
  for (int c = 0; c < 4; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 4; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    std::swap(a[c], a[pivot]);
    std::swap(b[c], b[pivot]);
    for (int r = c + 1; r < 4; ++r) {
      double f = a[r][c] / a[c][c];
      for (int k = c; k < 4; ++k) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  for (int c = 3; c >= 0; --c) {
    for (int k = c + 1; k < 4; ++k) b[c] -= a[c][k] * b[k];
    b[c] /= a[c][c];
  }
}

// Frequency from the first and last rising zero crossings: good to a few parts per million.
double CrossingFrequency(const std::vector<double>& x, double rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      double t = double(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0) first = t;
      last = t;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
}

}  // namespace

TToneFit FitTone(const std::vector<double>& x, double rate) {
  const double pi = std::acos(-1.0);
  const double mid = double(x.size()) / 2;
  double w = 2 * pi * CrossingFrequency(x, rate) / rate;
  double p[4] = {0, 0, 0, 0};  // cos, sin, offset, frequency step
  for (int iteration = 0; iteration < 8; ++iteration) {
    double a[4][4] = {}, b[4] = {};
    for (size_t i = 0; i < x.size(); ++i) {
      double t = double(i) - mid, c = std::cos(w * t), s = std::sin(w * t);
      double model = p[0] * c + p[1] * s + p[2];
      double j[4] = {c, s, 1, t * (-p[0] * s + p[1] * c)};
      double r = x[i] - (iteration ? model : 0);
      for (int m = 0; m < 4; ++m) {
        for (int n = 0; n < 4; ++n) a[m][n] += j[m] * j[n];
        b[m] += j[m] * r;
      }
    }
    if (iteration == 0) {  // the first pass only places amplitude and offset
      a[3][3] = 1;
      for (int m = 0; m < 3; ++m) a[3][m] = a[m][3] = 0;
      b[3] = 0;
    }
    Solve4(a, b);
    if (iteration == 0) {
      p[0] = b[0], p[1] = b[1], p[2] = b[2];
    } else {
      p[0] += b[0], p[1] += b[1], p[2] += b[2];
      w += b[3];
    }
  }
  double residual = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    double t = double(i) - mid;
    double e = x[i] - (p[0] * std::cos(w * t) + p[1] * std::sin(w * t) + p[2]);
    residual += e * e;
  }
  TToneFit fit;
  fit.hz = w * rate / (2 * pi);
  fit.amplitude = std::hypot(p[0], p[1]);
  fit.residualRms = std::sqrt(residual / double(x.size()));
  return fit;
}
