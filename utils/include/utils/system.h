// Stateless queries of the operating system; each may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Utils {

// family = "Linux"; name = VERSION_ID of /etc/os-release (for example "12"),
// else the kernel release.
void GetOsVersionName(std::wstring& family, std::wstring& name);

// True when the machine (uname) is a 64-bit architecture.
bool IsOs64Bit();

// ---- Network connectivity -------------------------------------------------

// Connectivity bits of the network check result (low 16 bits).
enum NetworkConnectivityBits : std::uint32_t {
    kConnectivityIpv4Subnet = 0x10,
    kConnectivityIpv4LocalNetwork = 0x20,
    kConnectivityIpv4Internet = 0x40,
    kConnectivityIpv6Subnet = 0x100,
    kConnectivityIpv6LocalNetwork = 0x200,
    kConnectivityIpv6Internet = 0x400,
};

// Reasons of the network check result (high 16 bits).
enum NetworkCheckReason : std::uint32_t {
    kNetworkReasonNone = 0,         // connected, or the check did not run
    kNetworkReasonNoNetwork = 1,    // no connectivity at all
    kNetworkReasonNoInternet = 2,   // connected, but not to the internet
};

// What the system reports about the network; the default source is GIO's
// network monitor plus the kernel's default routes.
class NetworkStatusSource {
public:
    enum class Connectivity { Local, Limited, Portal, Full };
    struct Reading {
        bool networkAvailable = false;
        Connectivity connectivity = Connectivity::Local;
        bool ipv4DefaultRoute = false;
        bool ipv6DefaultRoute = false;
    };

    virtual ~NetworkStatusSource() = default;
    // nullopt when no monitor can be created.
    virtual std::optional<Reading> Read() = 0;
};

// Replaces the source CheckNetwork uses (nullptr restores the default) and
// returns the previous replacement (nullptr for the default).
std::shared_ptr<NetworkStatusSource> SetNetworkStatusSource(std::shared_ptr<NetworkStatusSource> source);

// (reason << 16) | connectivity bits. No network: reason 1, bits 0. A network
// without full internet connectivity: reason 2 with the local-network bit of
// each family that has a default route. Full connectivity: reason 0 with the
// internet bits. 0 when no monitor can be created.
std::uint32_t CheckNetwork();

// ---- Identity --------------------------------------------------------------

// A fresh random (version 4) GUID as 32 hexadecimal digits without dashes; only
// the third group (4 digits) is lower-case.
std::wstring NewGuidText();

// ---- Accounts --------------------------------------------------------------

// True when the process runs with effective uid 0.
bool IsProcessAdmin();
// True when the local account exists and is uid 0 or a member of group "sudo",
// "wheel" or "admin".
bool IsUserAccountAdmin(std::wstring_view accountName);
// The user of the active session on seat0 (logind on the system bus), else the
// owner of the controlling terminal, else the real user. False when no name can
// be found; `name` is then left alone.
bool GetConsoleUserName(std::wstring& name);

// ---- Disk space --------------------------------------------------------------

// Free space of the file system holding a folder.
class HardDiskManager {
public:
    virtual ~HardDiskManager() = default;

    // Fills the three counts from the file system of `path`'s nearest existing
    // ancestor (the path itself when it exists). On failure logs the error and
    // returns false; the counts keep their previous values (0 at first).
    bool CheckFreeSpace(std::wstring_view path);

    std::uint64_t FreeBytesAvailable() const { return freeBytesAvailable_; }
    std::uint64_t TotalBytes() const { return totalBytes_; }
    std::uint64_t TotalFreeBytes() const { return totalFreeBytes_; }

private:
    std::uint64_t freeBytesAvailable_ = 0;
    std::uint64_t totalBytes_ = 0;
    std::uint64_t totalFreeBytes_ = 0;
};

// ---- Time --------------------------------------------------------------------

// Milliseconds of the monotonic clock, wrapping at 2^32.
std::uint32_t TickCount();

// Elapsed time since Start, from a 32-bit millisecond tick that may wrap.
class Stopwatch {
public:
    using TickSource = std::uint32_t (*)();
    explicit Stopwatch(TickSource ticks = &TickCount) : ticks_(ticks) {}

    void Start() {
        running_ = true;
        start_ = ticks_();
    }
    void Stop() { running_ = false; }
    bool IsRunning() const { return running_; }
    // Seconds since Start; 0.0 when not running.
    float Elapsed() const {
        if (!running_) return 0.0f;
        const std::uint32_t milliseconds = ticks_() - start_;
        return static_cast<float>(static_cast<float>(static_cast<double>(milliseconds)) / 1000.0);
    }

private:
    TickSource ticks_;
    std::uint32_t start_ = 0;
    bool running_ = false;
};

}  // namespace Utils
