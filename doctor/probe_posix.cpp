// The doctor's system side on Linux: /dev and /sys for the listing, /proc for the processes that
// hold a device, and the device's group when the user may not open it. The device itself is
// opened by the programs' own serial line.

#include "probe.h"

#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace osa::doctor {
namespace {

namespace fs = std::filesystem;

std::string first_line_of(const fs::path& file) {
    std::ifstream stream(file);
    std::string line;
    std::getline(stream, line);
    return line;
}

std::string canonical_or_same(const std::string& path) {
    std::error_code error;
    const fs::path real = fs::canonical(path, error);
    return error ? path : real.string();
}

// The kernel's port type in /sys (0: no UART answered at the port's address) tells a real UART
// from the placeholder ttyS devices that most PCs have; it needs no open of the device.
bool has_real_uart(const std::string& name) {
    const std::string type = first_line_of("/sys/class/tty/" + name + "/type");
    return !type.empty() && type != "0";
}

// A built-in port's I/O address says more to an owner than the kernel's driver name ("port").
std::string built_in_port_details(const std::string& name) {
    const std::string address = first_line_of("/sys/class/tty/" + name + "/port");
    return "built-in serial port" + (address.empty() || address == "0x0" ? std::string() : " at I/O " + address);
}

// The driver, and for USB the maker and product, from the device's entries in /sys.
std::string sys_details(const std::string& name) {
    if (name.starts_with("ttyS")) return built_in_port_details(name);
    const fs::path device = "/sys/class/tty/" + name + "/device";
    std::error_code error;
    std::string details = fs::read_symlink(device / "driver", error).filename().string();
    fs::path place = fs::canonical(device, error);
    for (int level = 0; !error && level < 4 && !place.empty(); ++level, place = place.parent_path()) {
        if (!fs::exists(place / "idVendor")) continue;
        std::string product = first_line_of(place / "manufacturer");
        const std::string name_of_product = first_line_of(place / "product");
        if (!name_of_product.empty()) product += (product.empty() ? "" : " ") + name_of_product;
        product += " [" + first_line_of(place / "idVendor") + ":" + first_line_of(place / "idProduct") + "]";
        details += (details.empty() ? "" : ", ") + product;
        break;
    }
    return details;
}

DeviceFacts gather_facts() {
    DeviceFacts facts;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/dev", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("tty")) continue;
        facts.dev_names.push_back(name);
        if (name.starts_with("ttyS") && has_real_uart(name)) facts.real_uarts.insert(name);
        if (const std::string details = sys_details(name); !details.empty()) facts.details[name] = details;
    }
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", error))
        facts.stable_names[entry.path().string()] = canonical_or_same(entry.path().string());
    return facts;
}

// Every other process with a descriptor on the device, as far as /proc lets this user see.
std::vector<Holder> holders_of(const struct stat& device) {
    std::vector<Holder> holders;
    std::error_code error;
    const std::string own = std::to_string(::getpid());
    for (const auto& process : fs::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == own) continue;
        std::error_code unreadable;
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", unreadable)) {
            struct stat target {};
            if (::stat(fd.path().c_str(), &target) != 0 || !S_ISCHR(target.st_mode) || target.st_rdev != device.st_rdev)
                continue;
            holders.push_back({std::stol(pid), first_line_of(process.path() / "comm")});
            break;
        }
    }
    std::sort(holders.begin(), holders.end(), [](const Holder& a, const Holder& b) { return a.pid < b.pid; });
    return holders;
}

// The processes that /proc/locks shows with a flock on the device's inode ("FLOCK ADVISORY WRITE
// PID MAJOR:MINOR:INODE ..."; the numbers of the file system's device in hexadecimal).
std::vector<Holder> lockers_of(const struct stat& device) {
    std::vector<Holder> lockers;
    std::ifstream locks("/proc/locks");
    char place[64];
    std::snprintf(place, sizeof place, "%02x:%02x:%llu", major(device.st_dev), minor(device.st_dev),
                  static_cast<unsigned long long>(device.st_ino));
    for (std::string line; std::getline(locks, line);) {
        std::istringstream words(line);
        std::string number, kind, mode, access, pid, file;
        if (!(words >> number >> kind)) continue;
        if (kind == "->") words >> kind;  // a waiting lock
        if (kind != "FLOCK" || !(words >> mode >> access >> pid >> file) || file != place) continue;
        const long id = std::strtol(pid.c_str(), nullptr, 10);
        if (id == ::getpid()) continue;
        lockers.push_back({id, first_line_of("/proc/" + pid + "/comm")});
    }
    return lockers;
}

// Who has the device: the lock holders apart, the other processes with it open after them.
void name_users(const struct stat& device, PortCheck& check) {
    check.lockers = lockers_of(device);
    for (const Holder& holder : holders_of(device)) {
        const bool locker = std::any_of(check.lockers.begin(), check.lockers.end(),
                                        [&](const Holder& other) { return other.pid == holder.pid; });
        if (!locker) check.holders.push_back(holder);
    }
}

bool user_in_group(gid_t group) {
    if (::getegid() == group) return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(0, ::getgroups(0, nullptr))));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return std::find(groups.begin(), groups.begin() + std::max(0, count), group) != groups.begin() + std::max(0, count);
}

PortCheck permission_denied(const std::string& device, const std::string& reason) {
    PortCheck check;
    check.outcome = Outcome::permission_denied;
    check.system_error = reason;
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) return check;
    if (const group* owner = ::getgrgid(info.st_gid)) check.owner_group = owner->gr_name;
    else check.owner_group = std::to_string(info.st_gid);
    check.in_owner_group = user_in_group(info.st_gid);
    return check;
}

// The OSA_COMn variable that maps the port to its device, when it is set: an empty one maps nothing.
std::string mapping_variable(unsigned long com) {
    const std::string name = "OSA_COM" + std::to_string(com);
    const char* value = std::getenv(name.c_str());
    return value != nullptr && *value != '\0' ? name : std::string();
}

Outcome outcome_of_error(int error) {
    if (error == ENOENT || error == ENXIO || error == ENODEV) return Outcome::missing;
    // TIOCEXCL set by another program, or the programs' exclusive lock held by one of them.
    if (error == EBUSY || error == EWOULDBLOCK) return Outcome::busy;
    return Outcome::open_failed;
}

}  // namespace

bool posix_system() { return true; }

std::vector<ListedPort> find_ports() { return linux_ports(gather_facts()); }

PortTarget resolve_port(const std::string& argument, const std::vector<ListedPort>& ports) {
    PortTarget target;
    if (const auto com = com_number(argument)) {
        target.com = *com;
        target.named_as_com = true;
        target.device = device_for_port(*com);
        target.variable = mapping_variable(*com);
    } else {
        target.device = argument;
        target.com = default_port_of(argument).value_or(1);
    }
    if (target.device.starts_with("/dev/serial/by-id/")) target.stable_name = target.device;
    else if (const auto stable = stable_name_for(canonical_or_same(target.device), ports)) target.stable_name = *stable;
    return target;
}

std::string device_to_open(const PortTarget& target) { return target.device; }

std::string system_words(const OpenResult& opened) { return opened.system_text; }

PortCheck device_refused(const PortTarget& target, const OpenResult& opened) {
    if (opened.system_code == EACCES || opened.system_code == EPERM)
        return permission_denied(target.device, opened.system_text);
    PortCheck check;
    check.outcome = outcome_of_error(opened.system_code);
    check.system_error = opened.system_text;
    struct stat info {};
    if (check.outcome == Outcome::busy && ::stat(target.device.c_str(), &info) == 0) name_users(info, check);
    return check;
}

// The far end of a pseudo-terminal (an emulated board) always holds it: only other devices get the
// warning about a second user.
std::vector<Holder> other_users(const PortTarget& target) {
    struct stat info {};
    if (canonical_or_same(target.device).starts_with("/dev/pts/") || ::stat(target.device.c_str(), &info) != 0 ||
        !S_ISCHR(info.st_mode))
        return {};
    return holders_of(info);
}

}  // namespace osa::doctor
