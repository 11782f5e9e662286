#pragma once
// Expected twips for a HIMETRIC length, worked out apart from the code under test: the windows
// convert in single precision, and Double is what a double-precision slip would give.
#include <cstdint>

namespace testtwips {

inline double Single(int32_t himetric) {
    return static_cast<double>(static_cast<float>(himetric) * 1440.0f / 2540.0f);
}
inline double Double(int32_t himetric) { return himetric * 1440.0 / 2540.0; }

}  // namespace testtwips
