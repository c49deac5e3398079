// The host's installation folder. On Windows it is the folder of the command
// with which the system opens the host's files (HKEY_LOCAL_MACHINE,
// "SOFTWARE\Classes\ZumtStudio\shell\open\command", default value): the text
// up to and including its last backslash, taken as it stands (a leading
// quotation mark stays). On POSIX, where there is no registry, the
// environment variable ZUMT_HOST_DIR names it.
#pragma once

#include <optional>
#include <string>

// The folder, ending in a separator, or none. The first answer is kept for
// the rest of the run; a failed lookup is tried again at the next call.
std::optional<std::string> hostFolder();

// For tests: forget the kept answer.
void forgetHostFolder();

// False when the folder that the lookup gave is not there. Only POSIX asks:
// ZUMT_HOST_DIR is typed by hand, while the Windows registry value is taken
// as it stands (a leading quotation mark included), so Windows says true.
bool hostFolderExists(const std::string& folder);
