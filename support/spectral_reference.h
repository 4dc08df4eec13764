// The spectral resampling method written out step by step as it is defined,
// with no reuse of anything between frames or bins: every frame windows its
// samples again for every bin, restarts the analysis angle at 0.0 and calls
// cos and sin for every term. It is slow on purpose and serves the tests and
// the benchmark (it lives in support/, which both may use) as the reference
// that SpectralResampler must match byte for byte.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvtram::reference {

// onSine(s, k, j, p, M, e) is told of every sine the synthesis takes, before
// it is added: frame start s, bin k, accumulator entry j, phase p, magnitude
// M, and e, the step by which p advances after it. onAtan(Q) is told of every
// arc tangent's argument.
template <typename OnSine, typename OnAtan>
std::vector<std::uint8_t> spectralResample(const std::uint8_t* src, std::size_t len, double rate,
                                           std::size_t loopStart, OnSine&& onSine, OnAtan&& onAtan) {
  std::vector<double> W(256);
  for (int i = 0; i <= 127; ++i) {
    W[i] = i / 127.0;
    W[255 - i] = i / 127.0;
  }

  // 1. X: 256 zeros, the source less 128, the 1088-entry tail.
  std::vector<double> X(256 + len + 1088);
  for (std::size_t i = 0; i < 256; ++i) X[i] = 0;
  for (std::size_t i = 0; i < len; ++i) X[256 + i] = src[i] - 128;
  for (std::size_t i = 0; i < 1088; ++i) {
    if (loopStart == 0) {
      X[256 + len + i] = 0;
    } else {
      X[256 + len + i] = src[loopStart + (i % (len - loopStart))] - 128;
    }
  }

  // 2. Y cleared.
  std::vector<double> Y(len + 1600);
  for (std::size_t i = 0; i < len + 1600; ++i) Y[i] = 0;

  // 3.
  const int kmax = static_cast<int>(1427328.0 / rate + 0.5);
  const int cnt = static_cast<int>(2854656.0 / rate + 0.5);
  const std::size_t total = len + 1088;

  // 4.
  double x[256];
  for (std::size_t s = 0; s < total; s += 128) {
    for (int k = 0; k <= kmax; ++k) {
      for (int n = 0; n < 256; ++n) x[n] = X[s + n] * W[n];

      const double d = k * 6.2831853071796 / 256.0;
      double a = 0.0;
      double cosSum = 0.0;
      double sinSum = 0.0;
      for (int n = 0; n < 256; ++n) {
        cosSum = cosSum + std::cos(a) * x[n];
        sinSum = sinSum + std::sin(a) * x[n];
        a = a + d;
      }

      double Q;
      if (cosSum == 0.0) {
        Q = 4294967295.0;
      } else {
        Q = -sinSum / cosSum;
      }
      onAtan(Q);
      double p;
      if (cosSum < 0.0) {
        p = std::atan(Q) + 4.7123889803847;
      } else {
        p = std::atan(Q) + 1.5707963267949;
      }
      double M = std::sqrt(cosSum * cosSum + sinSum * sinSum) / 256.0;
      if (k == 0) M = M / 2.0;

      const double e = k * 6.2831853071796 / 256.0 / 11151.0 * rate;

      const double u = s * 11151.0 / rate;
      const int j0 = static_cast<int>(u + 0.5);
      p = (u - j0) * e + p;

      for (int m = 0; m < cnt; ++m) {
        onSine(s, k, static_cast<std::size_t>(j0 + m), p, M, e);
        Y[j0 + m] = Y[j0 + m] + std::sin(p) * M;
        p = p + e;
      }
    }
  }

  // 5.
  const int shift = static_cast<int>(2854656.0 / rate);
  const std::size_t nOut = static_cast<std::size_t>(len * 11151.0 / rate + 0.5) + 208;
  std::vector<std::uint8_t> out(nOut);
  for (std::size_t i = 0; i < nOut; ++i) {
    int v = static_cast<int>(2 * Y[shift + i] + 0.5);
    if (v > 127) v = 127;
    if (v < -128) v = -128;
    out[i] = static_cast<std::uint8_t>(v + 128);
  }
  return out;
}

template <typename OnSine>
std::vector<std::uint8_t> spectralResample(const std::uint8_t* src, std::size_t len, double rate,
                                           std::size_t loopStart, OnSine&& onSine) {
  return spectralResample(src, len, rate, loopStart, onSine, [](double) {});
}

inline std::vector<std::uint8_t> spectralResample(const std::uint8_t* src, std::size_t len,
                                                  double rate, std::size_t loopStart) {
  return spectralResample(src, len, rate, loopStart,
                          [](std::size_t, int, std::size_t, double, double, double) {});
}

}  // namespace kvtram::reference
