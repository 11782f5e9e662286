#pragma once
// An error that goes to the caller. One that escapes an event handler or start-up
// is reported and ends the program (see ErrorReport.h).
#include <stdexcept>
#include <string>

namespace platform {

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const std::string& message)
        : std::runtime_error(message), number_(number) {}
    int Number() const { return number_; }

private:
    int number_;
};

// The numbers the platform's own errors carry.
inline constexpr int kErrInvalidArgument = 5;   // invalid procedure call or argument
inline constexpr int kErrObjectRequired = 424;  // object required
inline constexpr int kErrInvalidPicture = 481;  // invalid picture
inline constexpr int kErrFileNotFound = 53;     // file not found
inline constexpr int kErrNoFileInDrop = 461;    // format not available in the drop data

}  // namespace platform
