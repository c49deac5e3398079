// The registry lookup of the host's installation folder (read only).
#include "platform/platform.h"

#include <windows.h>

namespace {

constexpr const char* kOpenCommandKey = "SOFTWARE\\Classes\\ZumtStudio\\shell\\open\\command";
// The standard read access (KEY_READ).
constexpr REGSAM kReadAccess = 0x20019;
// The value must fit, with its terminating zero, in fewer bytes than this.
constexpr DWORD kValueLimit = 300;

} // namespace

std::optional<std::string> platformHostFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOpenCommandKey, 0, kReadAccess, &key) != ERROR_SUCCESS)
        return std::nullopt;
    char buf[kValueLimit + 1] = {};
    DWORD size = kValueLimit;
    LONG rc = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || size >= kValueLimit) return std::nullopt;
    // The stored value need not carry its terminating zero.
    buf[size] = '\0';
    std::string value(buf);
    std::size_t cut = value.rfind('\\');
    if (cut == std::string::npos) return std::nullopt;
    return value.substr(0, cut + 1);
}
