// Stateless queries of the operating system.
#pragma once

#include <string>

namespace Utils {

// family = "Linux"; name = VERSION_ID of /etc/os-release (for example "12"),
// else the kernel release.
void GetOsVersionName(std::wstring& family, std::wstring& name);

}  // namespace Utils
