// A stand-in for the login manager on a test bus: seat0 and one session.
#include "fake_logind.h"

#include <gio/gio.h>
#include <glib-unix.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr char kIntrospection[] = R"xml(<node>
  <interface name="org.freedesktop.login1.Seat">
    <property name="ActiveSession" type="(so)" access="read"/>
  </interface>
  <interface name="org.freedesktop.login1.Session">
    <property name="Name" type="s" access="read"/>
  </interface>
</node>)xml";
constexpr char kSessionPath[] = "/org/freedesktop/login1/session/_31";

struct Seat {
    std::string sessionId;
    std::string userName;
};

GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* property,
                      GError**, gpointer data) {
    const auto* seat = static_cast<const Seat*>(data);
    const std::string name = property;
    if (name == "ActiveSession")
        return g_variant_new("(so)", seat->sessionId.c_str(), seat->sessionId.empty() ? "/" : kSessionPath);
    if (name == "Name" && std::string(interface) == "org.freedesktop.login1.Session")
        return g_variant_new_string(seat->userName.c_str());
    return nullptr;
}

gboolean QuitOnEndOfInput(gint fd, GIOCondition, gpointer loop) {
    char buffer[64];
    if (read(fd, buffer, sizeof buffer) > 0) return G_SOURCE_CONTINUE;
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

}  // namespace

int RunFakeLogind(const char* address, const char* sessionId, const char* userName) {
    Seat seat{sessionId, userName};
    GError* error = nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!bus) return 10;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, &error);
    if (!node) return 11;
    const GDBusInterfaceVTable vtable = {nullptr, &GetProperty, nullptr, {}};
    if (!g_dbus_connection_register_object(bus, "/org/freedesktop/login1/seat/seat0", node->interfaces[0], &vtable,
                                           &seat, nullptr, &error) ||
        !g_dbus_connection_register_object(bus, kSessionPath, node->interfaces[1], &vtable, &seat, nullptr, &error))
        return 12;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", "org.freedesktop.login1", 4u),
                                                  G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (!reply) return 13;
    g_variant_unref(reply);

    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_unix_fd_add(0, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), &QuitOnEndOfInput, loop);
    std::printf("ready\n");
    std::fflush(stdout);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    g_dbus_node_info_unref(node);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return 0;
}
