// Popup choices, shortcut conflicts and permission wording of the Settings window.
#include "windows/SettingsChoices.h"

#include <QStringList>
#include <cmath>

#include "platform/KeyCodes.h"
#include "settings/Settings.h"
#include "settings/Slots.h"

namespace zumo {

int nearestDelayIndex(double seconds)
{
    int best = 0;
    for (int i = 1; i < int(DelayChoices.size()); ++i)
        if (std::abs(DelayChoices[i] - seconds) < std::abs(DelayChoices[best] - seconds))
            best = i;
    return best;
}

namespace {

bool sameStoredShortcut(const Settings& settings, int n, std::uint64_t mask, std::int64_t key)
{
    return settings.slotOn(n) && slotModifierMask(settings.slotMod(n)) == mask &&
           slotKeyCode(settings.slotKey(n)) == key;
}

QString keyTitle(std::int64_t key)
{
    switch (key) {
    case keys::Tab:
        return QStringLiteral("Tab");
    case keys::Grave:
        return QStringLiteral("`");
    case keys::Section:
        return QStringLiteral("§");
    case keys::Space:
        return QStringLiteral("Space");
    default:
        return QStringLiteral("key %1").arg(key);
    }
}

} // namespace

std::optional<int> shortcutConflict(const Settings& settings, int n, std::uint64_t mask, std::int64_t key)
{
    const std::uint64_t trigger = settings.triggerMask();
    if (mask == trigger && key == keys::Tab)
        return 1;
    if (settings.perAppKey() && mask == trigger && key == keys::Grave)
        return 2;
    const int other = n == 3 ? 4 : 3;
    if (sameStoredShortcut(settings, other, mask, key))
        return other;
    return std::nullopt;
}

QString shadowedShortcutMessage(const Settings& settings)
{
    for (int n : {3, 4}) {
        if (!settings.slotOn(n))
            continue;
        const std::uint64_t mask = slotModifierMask(settings.slotMod(n));
        const std::int64_t key = slotKeyCode(settings.slotKey(n));
        std::optional<int> by = shortcutConflict(settings, n, mask, key);
        // Of two equal extra shortcuts the earlier one works.
        if (by == 4)
            by.reset();
        if (by)
            return QStringLiteral("Shortcut %1 does nothing while shortcut %2 uses the same combination; change one of them.")
                .arg(n)
                .arg(*by);
    }
    return {};
}

QString conflictMessage(int shortcut)
{
    return QStringLiteral("That combination is already used by shortcut %1.").arg(shortcut);
}

QString modifierTitle(std::uint64_t mask)
{
    QStringList names;
    if (mask & keys::Option)
        names << QStringLiteral("Alt");
    if (mask & keys::Control)
        names << QStringLiteral("Control");
    return names.join(QStringLiteral(" + "));
}

QString shortcutTitle(const HookShortcut& shortcut)
{
    return modifierTitle(shortcut.mask).remove(QLatin1Char(' ')) + QLatin1Char('+') + keyTitle(shortcut.key);
}

StatusLine keyboardStatus(bool trusted, bool watching, const std::vector<HookShortcut>& taken,
                          const ShortcutHolding& holding)
{
    if (!trusted)
        return {QStringLiteral("● Not available"), Tone::bad,
                QStringLiteral("Zumo cannot reach an X11 display, so it cannot see the keyboard. "
                               "Start it from an X11 session.")};
    if (!watching)
        return {QStringLiteral("● Finishing setup…"), Tone::pending, {}};
    if (taken.empty())
        return {QStringLiteral("● Granted"), Tone::good, {}};
    QStringList names;
    for (const HookShortcut& shortcut : taken)
        names << shortcutTitle(shortcut);
    if (!holding.holder.isEmpty())
        return {QStringLiteral("● Partly: %1 held by %2").arg(names.join(QStringLiteral(", ")), holding.holder),
                Tone::bad, holding.advice};
    return {QStringLiteral("● Partly: %1 held by another program").arg(names.join(QStringLiteral(", "))),
            Tone::bad,
            QStringLiteral("Free the combination in your desktop's keyboard settings, or choose another "
                           "shortcut here.")};
}

StatusLine captureStatus(bool granted)
{
    if (granted)
        return {QStringLiteral("● Available"), Tone::good, {}};
    return {
        QStringLiteral("● Not available"), Tone::neutral,
        QStringLiteral("This display does not let Zumo read other windows, so tiles show icons instead.")};
}

} // namespace zumo
