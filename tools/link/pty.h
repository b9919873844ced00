// The pseudo-terminal that stands in for the serial line.
//
// The emulator owns the master side. It also keeps one descriptor of the slave side open for
// its whole life: without it, reads on the master fail with EIO until a program has opened the
// slave, and again whenever the program closes it between two sessions. That descriptor is
// never locked: the programs take an exclusive flock on their own descriptor of the slave.
// The slave is put in raw mode so that the terminal layer neither echoes the board's replies
// back as commands nor rewrites CR and LF.
#pragma once

#include <termios.h>

#include <string>

#include "descriptor.h"

namespace osa::board {

// Terminal settings for a raw 8-bit line: no echo, no line editing, no character translation,
// no signals, reads return as soon as one byte is there.
termios raw_settings(termios settings);

class Pty {
public:
    // Throws std::runtime_error with the system's reason when the pty cannot be made.
    Pty();

    int master() const { return master_.get(); }
    const std::string& slave_path() const { return slave_path_; }

private:
    Descriptor master_;
    Descriptor slave_;
    std::string slave_path_;
};

}  // namespace osa::board
