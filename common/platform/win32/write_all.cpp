// The one write loop of the Win32 platform, for standard output and the serial port alike.
#include "internal.h"

namespace osa::win32 {
namespace {

// The count that one write put; 0 when it failed.
DWORD write_once(HANDLE handle, std::string_view bytes, OVERLAPPED* request) {
    const auto size = static_cast<DWORD>(bytes.size());
    DWORD put = 0;
    if (request == nullptr) return WriteFile(handle, bytes.data(), size, &put, nullptr) ? put : 0;
    if (!WriteFile(handle, bytes.data(), size, nullptr, request) && GetLastError() != ERROR_IO_PENDING) return 0;
    const Transfer end = end_of(handle, *request);
    return end.succeeded ? end.count : 0;
}

}  // namespace

void write_all(HANDLE handle, std::string_view bytes, OVERLAPPED* request) {
    while (!bytes.empty()) {
        const DWORD put = write_once(handle, bytes, request);
        if (put == 0) return;
        bytes.remove_prefix(put);
    }
}

}  // namespace osa::win32
