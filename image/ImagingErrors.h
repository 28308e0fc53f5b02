// Exception classes of the imaging layer. Messages are the program's own
// English texts, formatted by the raising code.
#pragma once

#include <stdexcept>
#include <string>

class EImagingError : public std::runtime_error {
 public:
  explicit EImagingError(const std::string& message) : std::runtime_error(message) {}
};

// printf-style formatting for the message texts ("Frame %d does not exist").
std::string FormatMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
