// The end of a program through its closing step, from wherever it stands: thrown by the waits of
// the platform once the program has been ended from outside (a signal, a console control event),
// and by the command loop when the GUI sends "quit" or closes its input while the board is busy;
// caught by run_session (startup.h), which takes the closing step.
#pragma once

#include <stdexcept>

namespace osa {

struct EndRequested : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace osa
