// The registry lookup of the host's installation folder (read only).
#include "platform/platform.h"

#include <windows.h>

namespace {

constexpr const char* OpenCommandKey = "SOFTWARE\\Classes\\ZumtStudio\\shell\\open\\command";
// The standard read access (KEY_READ).
constexpr REGSAM ReadAccess = 0x20019;
// The value must fit, with its terminating zero, in fewer bytes than this.
constexpr DWORD ValueLimit = 300;

} // namespace

std::optional<std::string> platformHostFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, OpenCommandKey, 0, ReadAccess, &key) != ERROR_SUCCESS)
        return std::nullopt;
    char buf[ValueLimit + 1] = {};
    DWORD size = ValueLimit;
    LONG rc = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || size >= ValueLimit) return std::nullopt;
    // The stored value need not carry its terminating zero.
    buf[size] = '\0';
    std::string value(buf);
    const std::size_t cut = nameOffset(value);
    if (cut == 0) return std::nullopt;
    return value.substr(0, cut);
}
