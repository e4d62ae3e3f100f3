// The states are GNOME Shell's ExtensionState numbers.
#include "desktop/gnome/GnomeSetup.h"

#include "desktop/gnome/ShellBridge.h"

namespace zumo::gnome {

namespace {

enum ExtensionState { Enabled = 1, Disabled = 2, Error = 3, OutOfDate = 4, Initialized = 6 };

} // namespace

bool isGnomeShell(const QString& currentDesktop)
{
    const QStringList names = currentDesktop.toUpper().split(QLatin1Char(':'));
    return names.contains(QLatin1String("GNOME")) || names.contains(QLatin1String("GNOME-CLASSIC"));
}

QString enableCommand()
{
    return QStringLiteral("gnome-extensions enable %1").arg(QLatin1String(ExtensionUuid));
}

QString extensionProblem(const QVariantMap& info)
{
    const QString enable = QStringLiteral("Run \"%1\" and Alt+Tab opens Zumo.").arg(enableCommand());
    if (info.isEmpty())
        return QStringLiteral("GNOME Shell does not know Zumo's extension (%1), which lets Zumo see your windows "
                              "on Wayland. Install Zumo's package (or run \"cmake --install\"), log out and in "
                              "again, then: %2").arg(QLatin1String(ExtensionUuid), enableCommand());
    switch (int(info.value(QStringLiteral("state")).toDouble())) {
    case Enabled:
        // Just turned on: its bus name comes a moment later.
        return {};
    case Error:
        return QStringLiteral("Zumo's GNOME Shell extension failed: %1")
            .arg(info.value(QStringLiteral("error")).toString());
    case OutOfDate:
        return QStringLiteral("Zumo's GNOME Shell extension is not made for this version of GNOME Shell; "
                              "Zumo needs GNOME Shell 43 or 44 on Wayland, or the \"GNOME on Xorg\" session.");
    default:
        return QStringLiteral("Zumo's GNOME Shell extension is turned off, so Zumo cannot see your windows. ") + enable;
    }
}

} // namespace zumo::gnome
