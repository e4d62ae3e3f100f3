// Backend choice, missing-protocol wording and the compositors' binding lines.
#include "desktop/wayland/WaylandSession.h"

#include <QStringList>

namespace zumo::wayland {

Backend chooseBackend(const QByteArray& forced, const QByteArray& waylandDisplay, const QByteArray& sessionType,
                      const QByteArray& x11Display)
{
    if (forced == "wayland")
        return Backend::wayland;
    if (forced == "x11")
        return Backend::x11;
    if (!waylandDisplay.isEmpty() && (sessionType == "wayland" || x11Display.isEmpty()))
        return Backend::wayland;
    return Backend::x11;
}

std::optional<QString> missingProtocolsMessage(bool toplevels, bool layerShell, const QString& currentDesktop)
{
    if (toplevels && layerShell)
        return std::nullopt;
    const QString desktop = currentDesktop.toUpper();
    if (desktop.contains(QLatin1String("GNOME")))
        return QStringLiteral("GNOME on Wayland lets no program list or switch other programs' windows: Zumo does "
                              "it through its GNOME Shell extension (zumo --print-config gnome tells how to turn it "
                              "on). The \"GNOME on Xorg\" session works too.");
    if (desktop.contains(QLatin1String("KDE")))
        return QStringLiteral("Zumo reaches the windows of KDE Plasma through a KWin script it loads over the "
                              "session D-Bus, and KWin did not answer there (is DBUS_SESSION_BUS_ADDRESS set?). "
                              "The \"Plasma (X11)\" session works too.");
    QStringList missing;
    if (!toplevels)
        missing << QStringLiteral("the window list (wlr-foreign-toplevel-management)");
    if (!layerShell)
        missing << QStringLiteral("overlay panels (wlr-layer-shell)");
    return QStringLiteral("this Wayland compositor lacks %1, which Zumo needs. Zumo works on wlroots compositors "
                          "(sway, labwc, Hyprland, river) and on any X11 session.")
        .arg(missing.join(QLatin1String(" and ")));
}

std::optional<QString> bindingLines(const QString& compositor)
{
    const QString name = compositor.toLower();
    // Each with the line that starts Zumo at login: these compositors run no XDG autostart
    // entries, and --login is what that entry does (a plain `zumo` opens Settings every time).
    if (name == QLatin1String("sway"))
        return QStringLiteral("exec zumo --login\n"
                              "bindsym Mod1+Tab exec zumo-trigger next\n"
                              "bindsym Mod1+Shift+Tab exec zumo-trigger prev\n"
                              "bindsym Mod1+grave exec zumo-trigger next alt+grave\n"
                              "bindsym Mod1+Shift+grave exec zumo-trigger prev alt+grave\n"
                              "# Faster, with no process started per press, instead of the four lines above; the\n"
                              "# keys of a binding pick the shortcut, so Alt+` shows the front application's windows:\n"
                              "# bindsym Mod1+Tab nop zumo next\n"
                              "# bindsym Mod1+Shift+Tab nop zumo prev\n"
                              "# bindsym Mod1+grave nop zumo next\n"
                              "# bindsym Mod1+Shift+grave nop zumo prev\n");
    if (name == QLatin1String("wayfire"))
        return QStringLiteral("# In ~/.config/wayfire.ini, with command and autostart in [core] plugins and the\n"
                              "# switcher plugin removed there (it takes Alt+Tab too):\n"
                              "[command]\n"
                              "binding_zumo_next = <alt> KEY_TAB\n"
                              "command_zumo_next = zumo-trigger next\n"
                              "binding_zumo_prev = <alt> <shift> KEY_TAB\n"
                              "command_zumo_prev = zumo-trigger prev\n"
                              "binding_zumo_app_next = <alt> KEY_GRAVE\n"
                              "command_zumo_app_next = zumo-trigger next alt+grave\n"
                              "binding_zumo_app_prev = <alt> <shift> KEY_GRAVE\n"
                              "command_zumo_app_prev = zumo-trigger prev alt+grave\n"
                              "[autostart]\n"
                              "zumo = zumo --login\n");
    if (name == QLatin1String("labwc"))
        return QStringLiteral("<!-- rc.xml; and the line \"zumo --login &\" in ~/.config/labwc/autostart -->\n"
                              "<keybind key=\"A-Tab\"><action name=\"Execute\" command=\"zumo-trigger next\"/></keybind>\n"
                              "<keybind key=\"A-S-Tab\"><action name=\"Execute\" command=\"zumo-trigger prev\"/></keybind>\n"
                              "<keybind key=\"A-grave\"><action name=\"Execute\" command=\"zumo-trigger next alt+grave\"/></keybind>\n"
                              "<keybind key=\"A-S-grave\"><action name=\"Execute\" command=\"zumo-trigger prev alt+grave\"/></keybind>\n");
    if (name == QLatin1String("hyprland"))
        return QStringLiteral("exec-once = zumo --login\n"
                              "bind = ALT, Tab, exec, zumo-trigger next\n"
                              "bind = ALT SHIFT, Tab, exec, zumo-trigger prev\n"
                              "bind = ALT, grave, exec, zumo-trigger next alt+grave\n"
                              "bind = ALT SHIFT, grave, exec, zumo-trigger prev alt+grave\n");
    if (name == QLatin1String("river"))
        return QStringLiteral("riverctl spawn 'zumo --login'\n"
                              "riverctl map normal Alt Tab spawn 'zumo-trigger next'\n"
                              "riverctl map normal Alt+Shift Tab spawn 'zumo-trigger prev'\n"
                              "riverctl map normal Alt grave spawn 'zumo-trigger next alt+grave'\n"
                              "riverctl map normal Alt+Shift grave spawn 'zumo-trigger prev alt+grave'\n");
    return std::nullopt;
}

} // namespace zumo::wayland
