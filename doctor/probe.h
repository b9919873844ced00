// The system side of the doctor: finding the ports, naming the device a port argument means, and
// the check itself (open, lock, line settings, the opening dialogue with a bounded wait, CLOSE).
// doctor/probe_posix.cpp and doctor/probe_win32.cpp implement it; the build picks one.
#pragma once

#include "findings.h"
#include "listing.h"
#include "port_names.h"
#include "serial_settings.h"

#include <string>
#include <vector>

namespace osa::doctor {

// True on the POSIX side: the texts name devices, groups and OSA_COMn settings.
bool posix_system();

std::vector<ListedPort> find_ports();

// The device that a port argument (a device path or "COMn:") opens, as the programs would open it.
PortTarget resolve_port(const std::string& argument, const std::vector<ListedPort>& ports);

PortCheck check_port(const PortTarget& target, const SerialSettings& settings, unsigned wait_ms);

}  // namespace osa::doctor
