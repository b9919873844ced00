// The serial line to the board: a plain byte stream on the platform's serial port (platform.h),
// opened once from the serial open string.
//
// Reads block until the bytes have arrived: the line sets no read time-out of its own, so a silent
// board leaves the program waiting inside the read, never spinning (a read that a port's own
// time-out ends empty is simply issued again). A device that fails for good
// (a USB adapter pulled out, the other end of a pseudo-terminal closed) ends every read at once;
// the line then throws SerialLineLost instead of letting the callers' read loops spin.
#pragma once

#include "platform.h"
#include "serial_settings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace osa {

struct SerialLineLost : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SerialLine {
public:
    SerialLine() = default;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    ~SerialLine() { close(); }

    // The device of the open string's port (OpenResult: platform.h); on any failure nothing stays open.
    OpenResult open(std::string_view open_string);
    // A named device with the given settings: what open() does once it has read its string, and
    // how osa-doctor opens a device that its user names by path.
    OpenResult open_device(const std::string& device, const SerialSettings& settings);
    void close();

    // Failed writes are not reported: the bytes are lost and the dialogue goes on.
    void write(std::string_view bytes);
    void write_line(std::string_view text);  // the text and CR LF; the run trace records it

    // One read request for up to count bytes (at least 1); waits for at least one byte.
    std::string read(std::size_t count);

    // Waits the given time whatever the board sends meanwhile; its bytes stay waiting.
    void pause(unsigned milliseconds);

    // With a reader, every wait of the line (its reads and pauses) serves the GUI: before it waits
    // the reader gets the lines already read (ConsoleBytes::held), and whenever the GUI sends bytes
    // meanwhile the reader reads them (ConsoleBytes::arrived), then the wait goes on. Without one
    // (the default) the console is left alone while the board works. The reader may end the wait
    // by throwing.
    enum class ConsoleBytes { held, arrived };
    using ConsoleReader = std::function<void(ConsoleBytes)>;
    void read_console_while_waiting(ConsoleReader reader) { console_reader_ = std::move(reader); }

    // While a limit is set, a read that waits longer than that for the board's first byte finds the
    // line lost (SerialLineLost): a board that has just come back must answer its whole greeting.
    void limit_silence(std::optional<std::chrono::milliseconds> limit) { silence_limit_ = limit; }

    // Bytes received and not yet read; 0 when the query fails.
    std::int64_t pending_count();

    // Returns true once the board has sent bytes or the device has failed (the next read reports
    // it), false when the deadline (if any) has passed first; serves the console meanwhile.
    bool await_bytes(std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

private:
    // The wait of a read, within the silence limit when one is set.
    void await_read();
    // The GUI's lines already read are served before any wait of the line.
    void serve_held_console_lines();

    ConsoleReader console_reader_;
    std::optional<std::chrono::milliseconds> silence_limit_;
    PortHandle handle_ = no_port;
};

}  // namespace osa
