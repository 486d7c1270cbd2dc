#pragma once
// Reads another program's windows the way a screen reader does: through the
// accessibility bus of the desktop session (AT-SPI, libatspi). Nothing is
// cached on this side, so every value read is the program's at that moment.
// Use from one thread only. libatspi reports a call that failed (the object
// or its program has gone) through an error that may be left out: the value
// read is then empty.

#include <atspi/atspi.h>

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct AccessibleStates {
    bool enabled = false, focused = false, checked = false, showing = false, active = false;
};

// One object of the program's tree (its application, a window, a control);
// an empty one when not found.
class Accessible {
public:
    Accessible() = default;
    explicit Accessible(AtspiAccessible *adopted) // takes over the reference
        : m_object(adopted, [](AtspiAccessible *object) { g_clear_object(&object); })
    {
    }

    explicit operator bool() const { return m_object != nullptr; }
    std::string Name() const { return Adopt(m_object ? atspi_accessible_get_name(Get(), nullptr) : nullptr); }
    std::string Description() const
    {
        return Adopt(m_object ? atspi_accessible_get_description(Get(), nullptr) : nullptr);
    }
    // "dialog", "push button", "check box", "text", ...
    std::string Role() const { return Adopt(m_object ? atspi_accessible_get_role_name(Get(), nullptr) : nullptr); }
    AccessibleStates States() const
    {
        AccessibleStates s;
        AtspiStateSet *set = m_object ? atspi_accessible_get_state_set(Get()) : nullptr;
        const auto has = [set](AtspiStateType state) { return bool(atspi_state_set_contains(set, state)); };
        if (set && !has(ATSPI_STATE_DEFUNCT))
            s = {has(ATSPI_STATE_ENABLED), has(ATSPI_STATE_FOCUSED), has(ATSPI_STATE_CHECKED),
                 has(ATSPI_STATE_SHOWING), has(ATSPI_STATE_ACTIVE)};
        g_clear_object(&set);
        return s;
    }
    // The whole text of a text object, UTF-8.
    std::string Text() const
    {
        AtspiText *text = m_object ? atspi_accessible_get_text_iface(Get()) : nullptr;
        const gint count = text ? atspi_text_get_character_count(text, nullptr) : 0;
        std::string out = Adopt(count > 0 ? atspi_text_get_text(text, 0, count, nullptr) : nullptr);
        g_clear_object(&text);
        return out;
    }
    ScreenRect Extents() const
    {
        ScreenRect r;
        AtspiComponent *component = m_object ? atspi_accessible_get_component_iface(Get()) : nullptr;
        AtspiRect *extents =
            component ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr) : nullptr;
        if (extents)
            r = {extents->x, extents->y, extents->width, extents->height};
        g_free(extents);
        g_clear_object(&component);
        return r;
    }
    // Of the program the object belongs to: the bus knows the process behind
    // each connection.
    pid_t ProcessId() const { return m_object ? pid_t(atspi_accessible_get_process_id(Get(), nullptr)) : -1; }
    std::vector<Accessible> Children() const
    {
        std::vector<Accessible> out;
        const gint count = m_object ? atspi_accessible_get_child_count(Get(), nullptr) : 0;
        for (gint i = 0; i < count; ++i)
            if (AtspiAccessible *child = atspi_accessible_get_child_at_index(Get(), i, nullptr))
                out.emplace_back(child);
        return out;
    }
    // The first object at or below this one, depth first, of that name and role.
    Accessible Find(const std::string &name, const std::string &role) const
    {
        if (m_object && Name() == name && Role() == role)
            return *this;
        for (const Accessible &child : Children())
            if (Accessible found = child.Find(name, role))
                return found;
        return {};
    }

private:
    AtspiAccessible *Get() const { return m_object.get(); }
    // Takes a string that libatspi allocated.
    static std::string Adopt(gchar *text)
    {
        std::string out = text ? text : "";
        g_free(text);
        return out;
    }

    std::shared_ptr<AtspiAccessible> m_object;
};

// Connects to the accessibility bus of the session that DBUS_SESSION_BUS_ADDRESS
// and DISPLAY name; gives the reason when it cannot.
inline bool StartAccessibility(std::string *error)
{
    AtspiAccessible *desktop = atspi_init() >= 0 ? atspi_get_desktop(0) : nullptr;
    if (!desktop) {
        *error = "libatspi did not start, or no desktop is on the accessibility bus";
        return false;
    }
    // Values read must be the program's current ones, never a copy kept here.
    atspi_accessible_set_cache_mask(desktop, ATSPI_CACHE_NONE);
    g_object_unref(desktop);
    return true;
}

// The application that process pid registered; empty until it has.
inline Accessible FindApplication(pid_t pid)
{
    // libatspi takes in what the bus sent meanwhile (applications coming and
    // going) only from the main context.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    for (const Accessible &app : Accessible(atspi_get_desktop(0)).Children())
        if (app.ProcessId() == pid)
            return app;
    return {};
}
