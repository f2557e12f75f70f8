// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/at_spi.h"

#include "support/temp_dir.h"
#include "support/wait.h"

#include <gio/gio.h>

#include <signal.h>
#include <sys/stat.h>

#include <sstream>
#include <stdexcept>

namespace {

const char kSessionBus[] = "/usr/bin/dbus-daemon";
const char kBusLauncher[] = "/usr/libexec/at-spi-bus-launcher";

const char kRegistry[] = "org.a11y.atspi.Registry";
const char kRootPath[] = "/org/a11y/atspi/accessible/root";
const char kNullPath[] = "/org/a11y/atspi/null";
const char kAccessible[] = "org.a11y.atspi.Accessible";

struct VariantUnref {
    void operator()(GVariant *v) const {
        if (v != nullptr)
            g_variant_unref(v);
    }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

struct ObjectUnref {
    void operator()(gpointer o) const {
        if (o != nullptr)
            g_object_unref(o);
    }
};
using ConnectionPtr = std::unique_ptr<GDBusConnection, ObjectUnref>;

ConnectionPtr connect_to(const std::string &address) {
    GError *error = nullptr;
    GDBusConnection *connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (error != nullptr)
        g_error_free(error);
    return ConnectionPtr(connection);
}

// The address of the accessibility bus, once the launcher answers for it.
std::string accessibility_address(GDBusConnection *session) {
    GError *error = nullptr;
    // Not started on demand: only the launcher this rig started may answer.
    VariantPtr reply(g_dbus_connection_call_sync(
        session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, &error));
    if (error != nullptr) {
        g_error_free(error);
        return "";
    }
    const gchar *address = nullptr;
    g_variant_get(reply.get(), "(&s)", &address);
    return address;
}

std::string first_line(const std::string &text) {
    return text.substr(0, text.find('\n'));
}

std::string relation_name(guint32 type) {
    static const std::map<guint32, std::string> names = {
        {1, "label-for"}, {2, "labelled-by"},   {3, "controller-for"},   {4, "controlled-by"},
        {5, "member-of"}, {17, "described-by"}, {18, "description-for"},
    };
    const auto found = names.find(type);
    return found != names.end() ? found->second : "relation " + std::to_string(type);
}

} // namespace

AccessibilityBus::AccessibilityBus(const std::string &display, const std::string &folder) {
    session_bus_ = std::make_unique<Process>(
        std::vector<std::string>{kSessionBus, "--session", "--nofork", "--nosyslog",
                                 "--address=unix:path=" + folder + "/session-bus",
                                 "--print-address=1"},
        std::map<std::string, std::string>{{"HOME", folder}, {"PATH", "/usr/bin:/bin"}},
        folder + "/session-bus.address", folder + "/session-bus.log");
    if (!wait_for([&] { return !first_line(read_file(folder + "/session-bus.address")).empty(); }))
        throw std::runtime_error("the session bus did not start");
    session_address_ = first_line(read_file(folder + "/session-bus.address"));

    const std::string runtime = folder + "/run";
    if (mkdir(runtime.c_str(), 0700) != 0)
        throw std::runtime_error("cannot make " + runtime);
    launcher_ = std::make_unique<Process>(
        std::vector<std::string>{kBusLauncher, "--launch-immediately"},
        std::map<std::string, std::string>{{"DBUS_SESSION_BUS_ADDRESS", session_address_},
                                           {"DISPLAY", display},
                                           {"HOME", folder},
                                           {"XDG_RUNTIME_DIR", runtime},
                                           {"PATH", "/usr/bin:/bin"}},
        folder + "/launcher.out", folder + "/launcher.log");
    const ConnectionPtr session = connect_to(session_address_);
    if (!session || !wait_for([&] {
            if (launcher_->running())
                accessibility_address_ = accessibility_address(session.get());
            return !launcher_->running() || !accessibility_address_.empty();
        }) ||
        !launcher_->running())
        throw std::runtime_error("the accessibility bus did not start (is at-spi2-core there?)");
}

// The launcher ends its accessibility bus, and the registry with it, once
// the session bus has gone.
AccessibilityBus::~AccessibilityBus() {
    kill(session_bus_->pid(), SIGTERM);
    session_bus_->wait_exit(std::chrono::seconds(5));
    launcher_->wait_exit(std::chrono::seconds(5));
}

std::map<std::string, std::string> AccessibilityBus::program_environment() const {
    // Named outright, so that the bridge never takes the address that an
    // earlier launcher left on a display's root window.
    return {{"GTK_MODULES", "gail:atk-bridge"},
            {"DBUS_SESSION_BUS_ADDRESS", session_address_},
            {"AT_SPI_BUS_ADDRESS", accessibility_address_}};
}

const AccessibleNode *AccessibleNode::find(const std::string &of_role, const char *of_name) const {
    if (role == of_role && (of_name == nullptr || name == of_name))
        return this;
    for (const AccessibleNode &child : children)
        if (const AccessibleNode *found = child.find(of_role, of_name))
            return found;
    return nullptr;
}

std::vector<const AccessibleNode *> AccessibleNode::find_all(const std::string &of_role) const {
    std::vector<const AccessibleNode *> found;
    if (role == of_role)
        found.push_back(this);
    for (const AccessibleNode &child : children) {
        const std::vector<const AccessibleNode *> below = child.find_all(of_role);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}

std::string AccessibleNode::dump(int depth) const {
    std::ostringstream out;
    out << std::string(2 * depth, ' ') << "[" << role << "] \"" << name << "\"";
    if (!description.empty())
        out << " description \"" << description << "\"";
    for (const auto &[relation, targets] : relations) {
        out << " " << relation << ":";
        for (const std::string &target : targets)
            out << " \"" << target << "\"";
    }
    if (has_state(STATE_SELECTED))
        out << " selected";
    if (has_state(STATE_FOCUSED))
        out << " focused";
    out << "\n";
    for (const AccessibleNode &child : children)
        out << child.dump(depth + 1);
    return out.str();
}

struct AccessibilityReader::Bus {
    ConnectionPtr connection;

    VariantPtr call(const std::string &bus_name, const std::string &path, const char *interface,
                    const char *method, GVariant *args, const char *reply_type) {
        GError *error = nullptr;
        VariantPtr reply(g_dbus_connection_call_sync(
            connection.get(), bus_name.c_str(), path.c_str(), interface, method, args,
            G_VARIANT_TYPE(reply_type), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error));
        if (error != nullptr)
            g_error_free(error);
        return reply;
    }

    std::string property(const std::string &bus_name, const std::string &path, const char *name) {
        VariantPtr reply = call(bus_name, path, "org.freedesktop.DBus.Properties", "Get",
                                g_variant_new("(ss)", kAccessible, name), "(v)");
        if (!reply)
            return "";
        GVariant *boxed = nullptr;
        g_variant_get(reply.get(), "(v)", &boxed);
        const VariantPtr value(boxed);
        if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING))
            return g_variant_get_string(value.get(), nullptr);
        if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_INT32))
            return std::to_string(g_variant_get_int32(value.get()));
        return "";
    }

    AccessibleNode read(const std::string &bus_name, const std::string &path) {
        AccessibleNode node;
        node.bus_name = bus_name;
        node.path = path;
        node.name = property(bus_name, path, "Name");
        node.description = property(bus_name, path, "Description");
        if (VariantPtr role = call(bus_name, path, kAccessible, "GetRoleName", nullptr, "(s)")) {
            const gchar *text = nullptr;
            g_variant_get(role.get(), "(&s)", &text);
            node.role = text;
        }
        if (VariantPtr state = call(bus_name, path, kAccessible, "GetState", nullptr, "(au)")) {
            GVariantIter *words = nullptr;
            g_variant_get(state.get(), "(au)", &words);
            guint32 word = 0;
            for (int shift = 0; shift < 64 && g_variant_iter_next(words, "u", &word); shift += 32)
                node.states |= static_cast<uint64_t>(word) << shift;
            g_variant_iter_free(words);
        }
        read_relations(&node);
        const std::string count = property(bus_name, path, "ChildCount");
        const int children = count.empty() ? 0 : std::stoi(count);
        for (int i = 0; i < children; ++i) {
            VariantPtr child = call(bus_name, path, kAccessible, "GetChildAtIndex",
                                    g_variant_new("(i)", i), "((so))");
            if (!child)
                continue;
            const gchar *child_bus = nullptr;
            const gchar *child_path = nullptr;
            g_variant_get(child.get(), "((&s&o))", &child_bus, &child_path);
            if (std::string(child_path) != kNullPath)
                node.children.push_back(read(child_bus, child_path));
        }
        return node;
    }

    void read_relations(AccessibleNode *node) {
        VariantPtr set =
            call(node->bus_name, node->path, kAccessible, "GetRelationSet", nullptr, "(a(ua(so)))");
        if (!set)
            return;
        GVariantIter *relations = nullptr;
        g_variant_get(set.get(), "(a(ua(so)))", &relations);
        guint32 type = 0;
        GVariantIter *targets = nullptr;
        while (g_variant_iter_next(relations, "(ua(so))", &type, &targets)) {
            std::vector<std::string> &names = node->relations[relation_name(type)];
            const gchar *target_bus = nullptr;
            const gchar *target_path = nullptr;
            while (g_variant_iter_next(targets, "(&s&o)", &target_bus, &target_path))
                names.push_back(property(target_bus, target_path, "Name"));
            g_variant_iter_free(targets);
        }
        g_variant_iter_free(relations);
    }
};

AccessibilityReader::AccessibilityReader(const std::string &session_address)
    : bus_(std::make_unique<Bus>()) {
    const ConnectionPtr session = connect_to(session_address);
    const std::string address = session ? accessibility_address(session.get()) : "";
    if (!address.empty())
        bus_->connection = connect_to(address);
    if (!bus_->connection)
        throw std::runtime_error("cannot reach the accessibility bus");
}

AccessibilityReader::~AccessibilityReader() = default;

std::optional<AccessibleNode> AccessibilityReader::read_application(const std::string &name) {
    VariantPtr apps =
        bus_->call(kRegistry, kRootPath, kAccessible, "GetChildren", nullptr, "(a(so))");
    if (!apps)
        return std::nullopt;
    GVariantIter *entries = nullptr;
    g_variant_get(apps.get(), "(a(so))", &entries);
    const gchar *app_bus = nullptr;
    const gchar *app_path = nullptr;
    std::optional<AccessibleNode> found;
    while (!found && g_variant_iter_next(entries, "(&s&o)", &app_bus, &app_path))
        if (bus_->property(app_bus, app_path, "Name") == name)
            found = bus_->read(app_bus, app_path);
    g_variant_iter_free(entries);
    return found;
}

AccessibleNode AccessibilityReader::read_again(const AccessibleNode &node) {
    return bus_->read(node.bus_name, node.path);
}

std::vector<int> AccessibilityReader::read_extents(const AccessibleNode &node) {
    constexpr guint32 kScreen = 0;
    VariantPtr extents = bus_->call(node.bus_name, node.path, "org.a11y.atspi.Component",
                                    "GetExtents", g_variant_new("(u)", kScreen), "((iiii))");
    gint32 x = 0, y = 0, width = 0, height = 0;
    if (extents)
        g_variant_get(extents.get(), "((iiii))", &x, &y, &width, &height);
    return {x, y, width, height};
}

std::string AccessibilityReader::read_name(const AccessibleNode &node) {
    return bus_->property(node.bus_name, node.path, "Name");
}

std::string AccessibilityReader::read_text(const AccessibleNode &node) {
    VariantPtr text = bus_->call(node.bus_name, node.path, "org.a11y.atspi.Text", "GetText",
                                 g_variant_new("(ii)", 0, -1), "(s)");
    if (!text)
        return "";
    const gchar *shown = nullptr;
    g_variant_get(text.get(), "(&s)", &shown);
    return shown;
}

bool AccessibilityReader::do_action(const AccessibleNode &node) {
    VariantPtr done = bus_->call(node.bus_name, node.path, "org.a11y.atspi.Action", "DoAction",
                                 g_variant_new("(i)", 0), "(b)");
    gboolean ok = FALSE;
    if (done)
        g_variant_get(done.get(), "(b)", &ok);
    return ok != FALSE;
}
