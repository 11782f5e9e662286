#pragma once
#include <functional>
// The screen's mouse pointer for the whole program: 11 hourglass, 0 default.

namespace platform {

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

void SetMousePointer(int code);
int MousePointer();

// Told of every change, after it took effect (tests watch what a synchronous load shows).
void SetMousePointerObserver(std::function<void(int)> observer);

}  // namespace platform
