#include "e2e/Accessibility.h"

#include <atspi/atspi.h>
#include <utility>

namespace {
bool g_started = false;

// Takes a string that libatspi allocated.
std::string Adopt(gchar *text)
{
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

// libatspi reports a call that failed (the object or its program has gone)
// through an error that the caller owns.
struct Error {
    GError *error = nullptr;
    ~Error() { g_clear_error(&error); }
    GError **operator&() { return &error; }
};

// Lets libatspi take in what the bus sent meanwhile (applications coming and
// going), which it only does from the main context.
void Drain()
{
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}
} // namespace

std::string ScreenRect::ToString() const
{
    return std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(x) +
           "," + std::to_string(y);
}

Accessible::Accessible(_AtspiAccessible *adopted) : m_object(adopted) {}

Accessible::Accessible(const Accessible &other) : m_object(other.m_object)
{
    if (m_object)
        g_object_ref(m_object);
}

Accessible &Accessible::operator=(Accessible other)
{
    std::swap(m_object, other.m_object);
    return *this;
}

Accessible::~Accessible()
{
    if (m_object)
        g_object_unref(m_object);
}

std::string Accessible::Name() const
{
    Error e;
    return m_object ? Adopt(atspi_accessible_get_name(m_object, &e)) : std::string();
}

std::string Accessible::Description() const
{
    Error e;
    return m_object ? Adopt(atspi_accessible_get_description(m_object, &e)) : std::string();
}

std::string Accessible::Role() const
{
    Error e;
    return m_object ? Adopt(atspi_accessible_get_role_name(m_object, &e)) : std::string();
}

AccessibleStates Accessible::States() const
{
    AccessibleStates s;
    if (!m_object)
        return s;
    AtspiStateSet *set = atspi_accessible_get_state_set(m_object);
    if (!set)
        return s;
    if (!atspi_state_set_contains(set, ATSPI_STATE_DEFUNCT)) {
        s.enabled = atspi_state_set_contains(set, ATSPI_STATE_ENABLED);
        s.focused = atspi_state_set_contains(set, ATSPI_STATE_FOCUSED);
        s.checked = atspi_state_set_contains(set, ATSPI_STATE_CHECKED);
        s.showing = atspi_state_set_contains(set, ATSPI_STATE_SHOWING);
        s.active = atspi_state_set_contains(set, ATSPI_STATE_ACTIVE);
    }
    g_object_unref(set);
    return s;
}

std::string Accessible::Text() const
{
    AtspiText *text = m_object ? atspi_accessible_get_text_iface(m_object) : nullptr;
    if (!text)
        return {};
    Error e1, e2;
    const gint count = atspi_text_get_character_count(text, &e1);
    std::string out = count > 0 ? Adopt(atspi_text_get_text(text, 0, count, &e2)) : std::string();
    g_object_unref(text);
    return out;
}

ScreenRect Accessible::Extents() const
{
    ScreenRect r;
    AtspiComponent *component = m_object ? atspi_accessible_get_component_iface(m_object) : nullptr;
    if (!component)
        return r;
    Error e;
    if (AtspiRect *extents = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, &e)) {
        r = {extents->x, extents->y, extents->width, extents->height};
        g_free(extents);
    }
    g_object_unref(component);
    return r;
}

pid_t Accessible::ProcessId() const
{
    Error e;
    // The bus itself knows the process behind each connection.
    return m_object ? pid_t(atspi_accessible_get_process_id(m_object, &e)) : -1;
}

std::vector<Accessible> Accessible::Children() const
{
    std::vector<Accessible> out;
    if (!m_object)
        return out;
    Error e;
    const gint count = atspi_accessible_get_child_count(m_object, &e);
    for (gint i = 0; i < count; ++i) {
        Error ce;
        if (AtspiAccessible *child = atspi_accessible_get_child_at_index(m_object, i, &ce))
            out.emplace_back(child);
    }
    return out;
}

Accessible Accessible::Find(const std::string &name, const std::string &role) const
{
    if (!m_object)
        return {};
    if (Name() == name && Role() == role)
        return *this;
    for (const Accessible &child : Children())
        if (Accessible found = child.Find(name, role))
            return found;
    return {};
}

bool StartAccessibility(std::string *error)
{
    if (g_started)
        return true;
    if (atspi_init() < 0) {
        *error = "libatspi did not start";
        return false;
    }
    g_started = true;
    AtspiAccessible *desktop = atspi_get_desktop(0);
    if (!desktop) {
        *error = "no desktop on the accessibility bus";
        return false;
    }
    // Values read must be the program's current ones, never a copy kept here.
    atspi_accessible_set_cache_mask(desktop, ATSPI_CACHE_NONE);
    g_object_unref(desktop);
    return true;
}

void StopAccessibility()
{
    if (g_started)
        atspi_exit();
    g_started = false;
}

Accessible FindApplication(pid_t pid)
{
    Drain();
    const Accessible desktop(atspi_get_desktop(0));
    for (const Accessible &app : desktop.Children())
        if (app.ProcessId() == pid)
            return app;
    return {};
}
