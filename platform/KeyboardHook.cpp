// Shortcut names as the user reads them in messages.
#include "platform/KeyboardHook.h"

#include "platform/KeyCodes.h"

namespace zumo {

QString shortcutName(const HookShortcut& shortcut)
{
    QString name;
    if (shortcut.mask & keys::Control)
        name += QStringLiteral("Ctrl+");
    if (shortcut.mask & keys::Option)
        name += QStringLiteral("Alt+");
    switch (shortcut.key) {
    case keys::Tab:
        return name + QStringLiteral("Tab");
    case keys::Grave:
        return name + QStringLiteral("`");
    case keys::Section:
        return name + QStringLiteral("§");
    case keys::Space:
        return name + QStringLiteral("Space");
    default:
        return name + QStringLiteral("key %1").arg(shortcut.key);
    }
}

} // namespace zumo
