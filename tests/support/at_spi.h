// SPDX-License-Identifier: GPL-2.0-or-later
// What a screen reader sees of a program: a private session bus with the
// accessibility bus and its registry on it, and the accessible objects of a
// program read over that bus from outside, as a screen reader reads them.
#pragma once

#include "support/process.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A session bus of its own for one test, and the accessibility bus that its
// launcher starts and announces on the X display's root window. Programs
// that load the toolkit's bridge and are given session_address() show their
// accessible objects on it; everything ends with the session bus.
class AccessibilityBus {
  public:
    // Sockets and the launcher's files go into folder, which must exist.
    AccessibilityBus(const std::string &display, const std::string &folder);
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    const std::string &session_address() const { return session_address_; }
    // What a GTK 2 program's environment needs to be read on this bus.
    std::map<std::string, std::string> program_environment() const;

  private:
    std::string session_address_;
    std::string accessibility_address_;
    std::unique_ptr<Process> session_bus_;
    std::unique_ptr<Process> launcher_;
};

// The states of an accessible object, by their numbers on the bus.
enum AccessibleState {
    STATE_ACTIVE = 1,
    STATE_DEFUNCT = 6,
    STATE_ENABLED = 8,
    STATE_FOCUSED = 12,
    STATE_SELECTABLE = 22,
    STATE_SELECTED = 23,
    STATE_SHOWING = 25,
    STATE_TRANSIENT = 28,
};

// One accessible object as it was read, with everything below it.
struct AccessibleNode {
    std::string bus_name;
    std::string path;
    std::string role; // as the bus names it: "table cell", "dialog"
    std::string name;
    std::string description;
    uint64_t states = 0;
    // Relations by their names on the bus ("labelled-by", "label-for",
    // "member-of"), each with its targets' names.
    std::map<std::string, std::vector<std::string>> relations;
    std::vector<AccessibleNode> children;

    bool has_state(AccessibleState state) const { return (states >> state & 1) != 0; }
    // The first object at or below this one of this role (and name, unless
    // null), depth first; null when there is none.
    const AccessibleNode *find(const std::string &role, const char *name = nullptr) const;
    // Every object at or below this one of this role, depth first.
    std::vector<const AccessibleNode *> find_all(const std::string &role) const;
    // The tree as indented lines of role, name, description, relations and
    // the states a screen reader speaks of.
    std::string dump(int depth = 0) const;
};

// Reads accessible objects over the accessibility bus of a session bus.
class AccessibilityReader {
  public:
    explicit AccessibilityReader(const std::string &session_address);
    ~AccessibilityReader();
    AccessibilityReader(const AccessibilityReader &) = delete;
    AccessibilityReader &operator=(const AccessibilityReader &) = delete;

    // The application of this name with all its windows, as it is now;
    // nothing while no such application is registered.
    std::optional<AccessibleNode> read_application(const std::string &name);
    // The object as it is now, with everything below it.
    AccessibleNode read_again(const AccessibleNode &node);
    // The object's name as it is now, read again without its children.
    std::string read_name(const AccessibleNode &node);
    // Where the object is on the screen, as x, y, width and height; all 0
    // when it has no place.
    std::vector<int> read_extents(const AccessibleNode &node);
    // The text that an object shows (a label's), which its name may differ from.
    std::string read_text(const AccessibleNode &node);
    // Does the object's first action, as a screen reader's user would (a
    // button's click); false when the object has none.
    bool do_action(const AccessibleNode &node);

  private:
    struct Bus;
    std::unique_ptr<Bus> bus_;
};
