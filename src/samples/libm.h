// The mathematics library's sine, cosine, arc tangent and logarithm as the
// resamplers and the pitch table use them.
//
// On Windows they are the C runtime DLL's (msvcrt.dll), called through its
// import table: mingw-w64's static library computes sin and cos with the x87
// fsin/fcos instructions, off by up to about 10^5 ulps for the phases of a
// few hundred radians the spectral resampler reaches, where the DLL's
// functions are within one ulp of the Linux library's. Elsewhere they are
// the standard library's.
#pragma once

#include <cmath>

#ifdef _WIN32
extern "C" {
extern double (*__imp_sin)(double);
extern double (*__imp_cos)(double);
extern double (*__imp_atan)(double);
extern double (*__imp_log)(double);
}
#endif

namespace kvtram::libm {

#ifdef _WIN32
inline double sin(double x) { return __imp_sin(x); }
inline double cos(double x) { return __imp_cos(x); }
inline double atan(double x) { return __imp_atan(x); }
inline double log(double x) { return __imp_log(x); }
#else
inline double sin(double x) { return std::sin(x); }
inline double cos(double x) { return std::cos(x); }
inline double atan(double x) { return std::atan(x); }
inline double log(double x) { return std::log(x); }
#endif

}  // namespace kvtram::libm
