// The serial line to the board: a plain byte stream, opened once from the serial open string.
//
// Reads block until the bytes have arrived: the line sets no read time-out of its own, so a silent
// board leaves the program waiting inside the read, never spinning (a read that a port's own
// time-out ends empty is simply issued again). A device that fails for good
// (a USB adapter pulled out, the other end of a pseudo-terminal closed) ends every read at once;
// the line then throws SerialLineLost instead of letting the callers' read loops spin.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace osa {

struct SerialLineLost : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Result of open(): 0 open; 1 bad open string or a setting refused; 2 device missing or in use;
// 8 the device's properties could not be read.
enum OpenStatus : int { open_ok = 0, open_bad_settings = 1, open_no_device = 2, open_unreadable = 8 };

class SerialLine {
public:
    SerialLine() = default;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    ~SerialLine() { close(); }

    int open(std::string_view open_string);
    void close();

    // Failed writes are not reported: the bytes are lost and the dialogue goes on.
    void write(std::string_view bytes);
    void write_line(std::string_view text);  // the text and CR LF; the run trace records it

    // One read request for up to count bytes (at least 1); waits for at least one byte.
    std::string read(std::size_t count);

    // Bytes received and not yet read; 0 when the query fails.
    std::int64_t pending_count();

private:
    std::intptr_t handle_ = -1;
};

}  // namespace osa
