// The narrow platform interface: standard streams, the serial device and a pause. The serial line's
// own members (serial_line.h) are implemented in the same files.
// One implementation file per platform; nothing else in the programs sees a descriptor or a handle.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace osa {

// Binary standard streams; a write to a closed pipe is an ignored failure, not the end of the process.
void prepare_standard_streams();

// Appends what one read of standard input gives; false at the end of input or on a read error.
bool read_standard_input(std::string& into);

// Hands all bytes to the operating system; drops the rest after a failed write.
void write_standard_output(std::string_view bytes);

// Suspends the whole program; nothing cuts the pause short.
void pause_ms(unsigned milliseconds);

// The device that the serial port with this number opens on this system.
std::string device_for_port(unsigned long port);

}  // namespace osa
