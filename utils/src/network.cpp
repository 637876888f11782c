#include "utils/system.h"

#include "utils/log.h"

#include <gio/gio.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>

namespace Utils {
namespace {

constexpr unsigned long kRouteUp = 0x1;
constexpr unsigned long kRouteReject = 0x200;

// True when the kernel table (/proc/net/route or /proc/net/ipv6_route) holds a
// usable default route.
bool HasIpv4DefaultRoute() {
    std::ifstream table("/proc/net/route");
    std::string line;
    std::getline(table, line);  // column titles
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string interface, destination, gateway, flags, references, use, metric, mask;
        if (!(fields >> interface >> destination >> gateway >> flags >> references >> use >> metric >> mask)) continue;
        const unsigned long flagBits = std::stoul(flags, nullptr, 16);
        if (destination == "00000000" && mask == "00000000" && (flagBits & kRouteUp) && !(flagBits & kRouteReject))
            return true;
    }
    return false;
}

bool HasIpv6DefaultRoute() {
    std::ifstream table("/proc/net/ipv6_route");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, references, use, flags;
        if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >> references >> use >> flags))
            continue;
        const unsigned long flagBits = std::stoul(flags, nullptr, 16);
        if (destination == std::string(32, '0') && prefix == "00" && (flagBits & kRouteUp) && !(flagBits & kRouteReject))
            return true;
    }
    return false;
}

// GIO's default network monitor. It lives on a main context of its own, which
// each reading drains, so that route changes reach it without a running loop.
class GioNetworkStatusSource final : public NetworkStatusSource {
public:
    std::optional<Reading> Read() override {
        std::lock_guard lock(mutex_);
        if (!monitor_) {
            if (!context_) context_ = g_main_context_new();
            g_main_context_push_thread_default(context_);
            monitor_ = g_network_monitor_get_default();
            g_main_context_pop_thread_default(context_);
            if (!monitor_) return std::nullopt;
        }
        while (g_main_context_iteration(context_, FALSE)) {
        }
        Reading reading;
        reading.networkAvailable = g_network_monitor_get_network_available(monitor_);
        reading.connectivity = FromGio(g_network_monitor_get_connectivity(monitor_));
        reading.ipv4DefaultRoute = HasIpv4DefaultRoute();
        reading.ipv6DefaultRoute = HasIpv6DefaultRoute();
        return reading;
    }

private:
    static Connectivity FromGio(GNetworkConnectivity connectivity) {
        switch (connectivity) {
            case G_NETWORK_CONNECTIVITY_FULL: return Connectivity::Full;
            case G_NETWORK_CONNECTIVITY_PORTAL: return Connectivity::Portal;
            case G_NETWORK_CONNECTIVITY_LIMITED: return Connectivity::Limited;
            case G_NETWORK_CONNECTIVITY_LOCAL: break;
        }
        return Connectivity::Local;
    }

    std::mutex mutex_;
    // Process-wide and never freed: GIO keeps the default monitor for the whole run.
    GMainContext* context_ = nullptr;
    GNetworkMonitor* monitor_ = nullptr;
};

std::mutex g_sourceMutex;
std::shared_ptr<NetworkStatusSource> g_replacement;

std::shared_ptr<NetworkStatusSource> CurrentSource() {
    static const auto defaultSource = std::make_shared<GioNetworkStatusSource>();
    std::lock_guard lock(g_sourceMutex);
    return g_replacement ? g_replacement : defaultSource;
}

std::uint32_t ConnectivityBits(const NetworkStatusSource::Reading& reading) {
    if (!reading.networkAvailable) return 0;
    using Connectivity = NetworkStatusSource::Connectivity;
    std::uint32_t ipv4 = kConnectivityIpv4Subnet, ipv6 = kConnectivityIpv6Subnet;
    if (reading.connectivity == Connectivity::Full) {
        ipv4 = kConnectivityIpv4Internet;
        ipv6 = kConnectivityIpv6Internet;
    } else if (reading.connectivity != Connectivity::Local) {
        ipv4 = kConnectivityIpv4LocalNetwork;
        ipv6 = kConnectivityIpv6LocalNetwork;
    }
    // A monitor that sees a network the route tables do not show counts as IPv4.
    const bool ipv4Route = reading.ipv4DefaultRoute || !reading.ipv6DefaultRoute;
    return (ipv4Route ? ipv4 : 0) | (reading.ipv6DefaultRoute ? ipv6 : 0);
}

}  // namespace

std::shared_ptr<NetworkStatusSource> SetNetworkStatusSource(std::shared_ptr<NetworkStatusSource> source) {
    std::lock_guard lock(g_sourceMutex);
    return std::exchange(g_replacement, std::move(source));
}

std::uint32_t CheckNetwork() {
    const std::optional<NetworkStatusSource::Reading> reading = CurrentSource()->Read();
    if (!reading) return 0;
    const std::uint32_t connectivity = ConnectivityBits(*reading);
    std::uint32_t reason = kNetworkReasonNone;
    if (connectivity == 0) {
        UTILS_LOG(L"GetConnectivity %d", static_cast<int>(connectivity));
        reason = kNetworkReasonNoNetwork;
    } else if (reading->connectivity != NetworkStatusSource::Connectivity::Full) {
        UTILS_LOG(L"get_IsConnectedToInternet:%d", 0);
        reason = kNetworkReasonNoInternet;
    }
    return (reason << 16) | connectivity;
}

}  // namespace Utils
