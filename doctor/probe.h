// The system side of the doctor: finding the ports, naming the device a port argument means, and
// what a failed open means on this system (who holds the device, which group owns it). The check
// itself goes through the programs' own serial line (port_check.cpp); doctor/probe_posix.cpp and
// doctor/probe_win32.cpp implement the rest, and the build picks one.
#pragma once

#include "findings.h"
#include "listing.h"
#include "port_names.h"
#include "serial_line.h"
#include "serial_settings.h"

#include <string>
#include <vector>

namespace osa::doctor {

// True on the POSIX side: the texts name devices, groups and OSA_COMn settings.
bool posix_system();

std::vector<ListedPort> find_ports();

// The device that a port argument (a device path or "COMn:") opens, as the programs would open it.
PortTarget resolve_port(const std::string& argument, const std::vector<ListedPort>& ports);

// The name that the serial line opens for the target.
std::string device_to_open(const PortTarget& target);

// The system's reason for a failed open, in the words the findings print.
std::string system_words(const OpenResult& opened);

// The findings when the device itself could not be opened (status 2): missing, forbidden or held
// by another program, with what this system tells about the group or the holder.
PortCheck device_refused(const PortTarget& target, const OpenResult& opened);

// Other processes that have the opened device open too, as far as this system tells.
std::vector<Holder> other_users(const PortTarget& target);

// Opens the port with the programs' serial line and settings, greets the board and waits up to
// wait_ms for its reply, then sends CLOSE.
PortCheck check_port(const PortTarget& target, const SerialSettings& settings, unsigned wait_ms);

}  // namespace osa::doctor
