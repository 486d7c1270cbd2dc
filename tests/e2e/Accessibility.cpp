#include "e2e/Accessibility.h"

#include <atspi/atspi.h>

// libatspi reports a call that failed (the object or its program has gone)
// through an error that the caller may leave out: the value read is empty.

namespace {
bool g_started = false;

// Takes a string that libatspi allocated.
std::string Adopt(gchar *text)
{
    std::string out = text ? text : "";
    g_free(text);
    return out;
}
} // namespace

std::string ScreenRect::ToString() const
{
    return std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(x) +
           "," + std::to_string(y);
}

Accessible::Accessible(_AtspiAccessible *adopted)
    : m_object(adopted, [](_AtspiAccessible *object) {
          if (object)
              g_object_unref(object);
      })
{
}

std::string Accessible::Name() const
{
    return m_object ? Adopt(atspi_accessible_get_name(m_object.get(), nullptr)) : std::string();
}

std::string Accessible::Description() const
{
    return m_object ? Adopt(atspi_accessible_get_description(m_object.get(), nullptr)) : std::string();
}

std::string Accessible::Role() const
{
    return m_object ? Adopt(atspi_accessible_get_role_name(m_object.get(), nullptr)) : std::string();
}

AccessibleStates Accessible::States() const
{
    AccessibleStates s;
    AtspiStateSet *set = m_object ? atspi_accessible_get_state_set(m_object.get()) : nullptr;
    const auto has = [set](AtspiStateType state) { return bool(atspi_state_set_contains(set, state)); };
    if (set && !has(ATSPI_STATE_DEFUNCT))
        s = {has(ATSPI_STATE_ENABLED), has(ATSPI_STATE_FOCUSED), has(ATSPI_STATE_CHECKED), has(ATSPI_STATE_SHOWING),
             has(ATSPI_STATE_ACTIVE)};
    if (set)
        g_object_unref(set);
    return s;
}

std::string Accessible::Text() const
{
    AtspiText *text = m_object ? atspi_accessible_get_text_iface(m_object.get()) : nullptr;
    if (!text)
        return {};
    const gint count = atspi_text_get_character_count(text, nullptr);
    std::string out = count > 0 ? Adopt(atspi_text_get_text(text, 0, count, nullptr)) : std::string();
    g_object_unref(text);
    return out;
}

ScreenRect Accessible::Extents() const
{
    ScreenRect r;
    AtspiComponent *component = m_object ? atspi_accessible_get_component_iface(m_object.get()) : nullptr;
    AtspiRect *extents = component ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr) : nullptr;
    if (extents)
        r = {extents->x, extents->y, extents->width, extents->height};
    g_free(extents);
    if (component)
        g_object_unref(component);
    return r;
}

pid_t Accessible::ProcessId() const
{
    // The bus itself knows the process behind each connection.
    return m_object ? pid_t(atspi_accessible_get_process_id(m_object.get(), nullptr)) : -1;
}

std::vector<Accessible> Accessible::Children() const
{
    std::vector<Accessible> out;
    const gint count = m_object ? atspi_accessible_get_child_count(m_object.get(), nullptr) : 0;
    for (gint i = 0; i < count; ++i)
        if (AtspiAccessible *child = atspi_accessible_get_child_at_index(m_object.get(), i, nullptr))
            out.emplace_back(child);
    return out;
}

Accessible Accessible::Find(const std::string &name, const std::string &role) const
{
    if (m_object && Name() == name && Role() == role)
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
    // libatspi takes in what the bus sent meanwhile (applications coming and
    // going) only from the main context.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    for (const Accessible &app : Accessible(atspi_get_desktop(0)).Children())
        if (app.ProcessId() == pid)
            return app;
    return {};
}
