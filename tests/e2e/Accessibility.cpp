#include "e2e/Accessibility.h"

#include <atspi/atspi.h>

// libatspi reports a call that failed (the object or its program has gone)
// through an error that the caller may leave out: the value read is empty.

namespace {
bool g_started = false;

// Reads a string that libatspi allocates, and frees it.
template <typename Get> std::string ReadText(const std::shared_ptr<_AtspiAccessible> &object, Get get)
{
    gchar *text = object ? get(object.get(), nullptr) : nullptr;
    std::string out = text ? text : "";
    g_free(text);
    return out;
}
} // namespace

Accessible::Accessible(_AtspiAccessible *adopted)
    : m_object(adopted, [](_AtspiAccessible *object) {
          if (object)
              g_object_unref(object);
      })
{
}

std::string Accessible::Name() const { return ReadText(m_object, atspi_accessible_get_name); }
std::string Accessible::Description() const { return ReadText(m_object, atspi_accessible_get_description); }
std::string Accessible::Role() const { return ReadText(m_object, atspi_accessible_get_role_name); }

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
    gchar *chars = count > 0 ? atspi_text_get_text(text, 0, count, nullptr) : nullptr;
    std::string out = chars ? chars : "";
    g_free(chars);
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

// The bus itself knows the process behind each connection.
pid_t Accessible::ProcessId() const
{
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
    g_started = atspi_init() >= 0;
    AtspiAccessible *desktop = g_started ? atspi_get_desktop(0) : nullptr;
    if (!desktop) {
        *error = g_started ? "no desktop on the accessibility bus" : "libatspi did not start";
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
