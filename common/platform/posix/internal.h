// What the files of the POSIX platform share; nothing outside this folder includes it.
#pragma once

#include <cerrno>
#include <string_view>

namespace osa::posix {

// Throws EndRequested once an ending signal has come (wait_and_signals.cpp).
void throw_if_ended();

// A non-blocking descriptor that has nothing to give, or no room to take.
inline bool would_block(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// Hands all bytes to the descriptor, waiting for room when a non-blocking one is full; drops the
// rest after a failed write (write_all.cpp).
void write_all(int fd, std::string_view bytes);

}  // namespace osa::posix
