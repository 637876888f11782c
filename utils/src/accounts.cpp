#include "utils/system.h"

#include "utils/text.h"

#include <gio/gio.h>

#include <array>
#include <fstream>
#include <grp.h>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace Utils {
namespace {

constexpr std::array<const char*, 3> kAdminGroups = {"sudo", "wheel", "admin"};
constexpr int kBusTimeoutMs = 1000;

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GVariantDeleter {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
using ConnectionPtr = std::unique_ptr<GDBusConnection, GObjectDeleter>;
using VariantPtr = std::unique_ptr<GVariant, GVariantDeleter>;

std::optional<passwd> LookUpUser(const char* name, uid_t uid, std::vector<char>& storage) {
    storage.assign(16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    const int error = name ? ::getpwnam_r(name, &entry, storage.data(), storage.size(), &found)
                           : ::getpwuid_r(uid, &entry, storage.data(), storage.size(), &found);
    if (error != 0 || !found) return std::nullopt;
    return entry;
}

std::optional<std::string> UserNameOf(uid_t uid) {
    std::vector<char> storage;
    const auto entry = LookUpUser(nullptr, uid, storage);
    if (!entry || !entry->pw_name) return std::nullopt;
    return std::string(entry->pw_name);
}

std::optional<gid_t> GroupId(const char* name) {
    std::vector<char> storage(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrnam_r(name, &entry, storage.data(), storage.size(), &found) != 0 || !found) return std::nullopt;
    return entry.gr_gid;
}

// Reads one property of a logind object on a private system bus connection.
VariantPtr LogindProperty(GDBusConnection* bus, const char* path, const char* interface, const char* property) {
    GError* rawError = nullptr;
    VariantPtr reply(g_dbus_connection_call_sync(bus, "org.freedesktop.login1", path, "org.freedesktop.DBus.Properties",
                                                 "Get", g_variant_new("(ss)", interface, property),
                                                 G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs,
                                                 nullptr, &rawError));
    std::unique_ptr<GError, GErrorDeleter> error(rawError);
    if (!reply) return nullptr;
    GVariant* value = nullptr;
    g_variant_get(reply.get(), "(v)", &value);
    return VariantPtr(value);
}

std::optional<std::string> ActiveSeatUser() {
    std::unique_ptr<gchar, GFreeDeleter> address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr));
    if (!address) return std::nullopt;
    GError* rawError = nullptr;
    ConnectionPtr bus(g_dbus_connection_new_for_address_sync(
        address.get(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &rawError));
    std::unique_ptr<GError, GErrorDeleter> error(rawError);
    if (!bus) return std::nullopt;

    std::optional<std::string> user;
    if (VariantPtr session = LogindProperty(bus.get(), "/org/freedesktop/login1/seat/seat0",
                                            "org.freedesktop.login1.Seat", "ActiveSession");
        session && g_variant_is_of_type(session.get(), G_VARIANT_TYPE("(so)"))) {
        const gchar* id = nullptr;
        const gchar* path = nullptr;
        g_variant_get(session.get(), "(&s&o)", &id, &path);
        if (id && *id) {
            VariantPtr name = LogindProperty(bus.get(), path, "org.freedesktop.login1.Session", "Name");
            if (name && g_variant_is_of_type(name.get(), G_VARIANT_TYPE_STRING) && *g_variant_get_string(name.get(), nullptr))
                user = g_variant_get_string(name.get(), nullptr);
        }
    }
    g_dbus_connection_close_sync(bus.get(), nullptr, nullptr);
    return user;
}

// The device number of the controlling terminal (field tty_nr of /proc/self/stat).
std::optional<dev_t> ControllingTerminal() {
    std::ifstream file("/proc/self/stat");
    std::string stat;
    std::getline(file, stat);
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string state;
    long parent = 0, group = 0, session = 0;
    unsigned long terminal = 0;
    if (!(fields >> state >> parent >> group >> session >> terminal) || terminal == 0) return std::nullopt;
    const unsigned major = (terminal >> 8) & 0xfff;
    const unsigned minor = (terminal & 0xff) | ((terminal >> 12) & 0xfff00);
    return makedev(major, minor);
}

std::optional<uid_t> TerminalOwner(dev_t device) {
    constexpr unsigned kFirstPtyMajor = 136, kLastPtyMajor = 143;
    std::vector<std::string> candidates;
    if (major(device) >= kFirstPtyMajor && major(device) <= kLastPtyMajor)
        candidates.push_back("/dev/pts/" + std::to_string((major(device) - kFirstPtyMajor) * 256 + minor(device)));
    if (minor(device) < 64 && major(device) == 4) candidates.push_back("/dev/tty" + std::to_string(minor(device)));
    if (major(device) == 5 && minor(device) == 1) candidates.push_back("/dev/console");
    for (const auto& candidate : candidates) {
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device) return info.st_uid;
    }
    return std::nullopt;
}

}  // namespace

bool IsProcessAdmin() { return ::geteuid() == 0; }

bool IsUserAccountAdmin(std::wstring_view accountName) {
    const std::string name = WideToUtf8(accountName);
    if (name.empty()) return false;
    std::vector<char> storage;
    const auto entry = LookUpUser(name.c_str(), 0, storage);
    if (!entry) return false;
    if (entry->pw_uid == 0) return true;

    std::vector<gid_t> groups(64);
    for (;;) {
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(name.c_str(), entry->pw_gid, groups.data(), &count) >= 0) {
            groups.resize(count);
            break;
        }
        if (count <= static_cast<int>(groups.size())) return false;
        groups.resize(count);
    }
    for (const char* adminGroup : kAdminGroups) {
        const auto id = GroupId(adminGroup);
        if (!id) continue;
        for (gid_t member : groups)
            if (member == *id) return true;
    }
    return false;
}

bool GetConsoleUserName(std::wstring& name) {
    std::optional<std::string> user = ActiveSeatUser();
    if (!user) {
        if (const auto terminal = ControllingTerminal())
            if (const auto owner = TerminalOwner(*terminal)) user = UserNameOf(*owner);
    }
    if (!user) user = UserNameOf(::getuid());
    if (!user || user->empty()) return false;
    name = Utf8ToWideLenient(*user);
    return true;
}

}  // namespace Utils
