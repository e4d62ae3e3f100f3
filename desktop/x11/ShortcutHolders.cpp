// The window managers that bind the switcher's shortcuts, and how each lets go of them.
#include "desktop/x11/ShortcutHolders.h"

#include <QMap>
#include <QRegularExpression>

#include "platform/KeyCodes.h"
#include "desktop/x11/KeyTranslation.h"

namespace zumo::x11 {

namespace {

// The key names key binding settings use for a shortcut's key.
QStringList keyNames(std::int64_t key)
{
    switch (key) {
    case keys::Tab: return {QStringLiteral("tab"), QStringLiteral("iso_left_tab")};
    case keys::Grave: return {QStringLiteral("grave"), QStringLiteral("above_tab"), QStringLiteral("dead_grave")};
    case keys::Space: return {QStringLiteral("space")};
    case keys::Section: return {QStringLiteral("section")};
    default: return {};
    }
}

// The shortcut in the "A-S-Tab" style of openbox, "Mod1 Shift Tab" of fluxbox, or "Alt+Tab".
QString keyWord(std::int64_t key)
{
    return key == keys::Grave ? QStringLiteral("grave") : shortcutName({0, key}).remove(QLatin1Char('+'));
}

QString styled(const HookShortcut& s, const QString& control, const QString& alt, const QString& join)
{
    QStringList parts;
    if (s.mask & keys::Control)
        parts << control;
    if (s.mask & keys::Option)
        parts << alt;
    return (parts << keyWord(s.key)).join(join);
}

// Whether a GTK accelerator ("<Shift><Alt>Tab", "<Mod1>grave") is the shortcut or its Shift variant.
bool sameShortcut(const QString& accelerator, const HookShortcut& shortcut)
{
    static const QRegularExpression modifier(QStringLiteral("<([^>]*)>"));
    std::uint64_t mask = 0;
    auto it = modifier.globalMatch(accelerator);
    while (it.hasNext()) {
        const QString m = it.next().captured(1).toLower();
        if (m == QLatin1String("alt") || m == QLatin1String("mod1"))
            mask |= keys::Option;
        else if (m == QLatin1String("control") || m == QLatin1String("ctrl") || m == QLatin1String("primary"))
            mask |= keys::Control;
        else if (m != QLatin1String("shift"))  // Shift reverses the shortcut: the same one for us
            return false;                       // Super, Meta, Hyper: not a combination of ours
    }
    const QString key = QString(accelerator).remove(modifier).toLower();
    return mask == shortcut.mask && keyNames(shortcut.key).contains(key);
}

} // namespace

ShortcutHolder shortcutHolder(const QString& wmName, const HookShortcut& s)
{
    const QString name = wmName.toLower();
    const QString alt = styled(s, QStringLiteral("Ctrl"), QStringLiteral("Alt"), QStringLiteral("+"));
    if (name.contains(QLatin1String("marco")))
        return {QStringLiteral("Marco"), {QStringLiteral("org.mate.Marco.global-keybindings")}, {}};
    if (name.contains(QLatin1String("muffin")))
        return {QStringLiteral("Muffin"), {QStringLiteral("org.cinnamon.desktop.keybindings.wm")}, {}};
    if (name.contains(QLatin1String("metacity")))
        return {QStringLiteral("Metacity"), {QStringLiteral("org.gnome.desktop.wm.keybindings")}, {}};
    if (name.contains(QLatin1String("mutter")) || name.contains(QLatin1String("gnome shell")))
        return {QStringLiteral("Mutter"), {QStringLiteral("org.gnome.desktop.wm.keybindings")}, {}};
    if (name.contains(QLatin1String("kwin")))
        return {QStringLiteral("KWin"), {},
                QStringLiteral("In System Settings → Shortcuts → KWin, set \"Walk Through Windows\" and its "
                               "Reverse to None, or run:\n"
                               "kwriteconfig5 --file kglobalshortcutsrc --group kwin --key \"Walk Through Windows\" "
                               "\"none,%1,Walk Through Windows\"\n"
                               "kwriteconfig5 --file kglobalshortcutsrc --group kwin --key \"Walk Through Windows "
                               "(Reverse)\" \"none,%2+Shift+Backtab,Walk Through Windows (Reverse)\"\n"
                               "then log out and in again.")
                    .arg(alt, alt.section(QLatin1Char('+'), 0, -2))};
    if (name.contains(QLatin1String("openbox")))
        return {QStringLiteral("Openbox"), {},
                QStringLiteral("In ~/.config/openbox/rc.xml remove the <keybind key=\"%1\"> and "
                               "<keybind key=\"%2\"> entries, then run: openbox --reconfigure")
                    .arg(styled(s, QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("-")),
                         styled({s.mask | keys::Shift, s.key}, QStringLiteral("C"), QStringLiteral("A-S"),
                                QStringLiteral("-")))};
    if (name.contains(QLatin1String("fluxbox")))
        return {QStringLiteral("Fluxbox"), {},
                QStringLiteral("In ~/.fluxbox/keys remove the lines that begin \"%1 \" and \"%2 \", then "
                               "choose Reconfigure in the Fluxbox menu.")
                    .arg(styled(s, QStringLiteral("Control"), QStringLiteral("Mod1"), QStringLiteral(" ")),
                         styled(s, QStringLiteral("Control"), QStringLiteral("Mod1 Shift"), QStringLiteral(" ")))};
    if (name.contains(QLatin1String("icewm")))
        return {QStringLiteral("IceWM"), {},
                QStringLiteral("Add the line QuickSwitch=0 to ~/.icewm/preferences, then run: icewm -r")};
    if (name.contains(QLatin1String("xfwm")))
        return {QStringLiteral("Xfwm4"), {},
                QStringLiteral("In Settings → Window Manager → Keyboard clear \"Cycle windows\", or run:\n"
                               "xfconf-query -c xfce4-keyboard-shortcuts -p \"/xfwm4/custom/<Alt>Tab\" -r\n"
                               "xfconf-query -c xfce4-keyboard-shortcuts -p \"/xfwm4/custom/<Alt><Shift>Tab\" -r")};
    if (name == QLatin1String("i3"))
        return {QStringLiteral("i3"), {},
                QStringLiteral("In ~/.config/i3/config remove the bindsym %1 line, then run: i3-msg reload")
                    .arg(styled(s, QStringLiteral("Control"), QStringLiteral("Mod1"), QStringLiteral("+")))};
    return {wmName.isEmpty() ? QStringLiteral("another program") : wmName, {},
            QStringLiteral("Unbind %1 in that program's keyboard settings, or choose another shortcut in Zumo.")
                .arg(alt),
            false};
}

std::vector<BindingEdit> freeingEdits(const QString& listing, const HookShortcut& shortcut)
{
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    std::vector<BindingEdit> edits;
    for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() < 3)
            continue;
        const QString value = parts.mid(2).join(QLatin1Char(' '));
        QStringList kept;
        bool hit = false;
        for (auto it = quoted.globalMatch(value); it.hasNext();) {
            const QString accelerator = it.next().captured(1);
            if (sameShortcut(accelerator, shortcut))
                hit = true;
            else
                kept << accelerator;
        }
        if (!hit)
            continue;
        const bool list = value.contains(QLatin1Char('['));
        QString after;
        if (!list)
            after = QStringLiteral("'disabled'");
        else if (kept.isEmpty())
            after = QStringLiteral("@as []");
        else
            after = QStringLiteral("['") + kept.join(QStringLiteral("', '")) + QStringLiteral("']");
        edits.push_back({parts[0], parts[1], value, after});
    }
    return edits;
}

bool kwinBinds(const QString& globalShortcuts, const HookShortcut& shortcut)
{
    // KWin's switchers and what they answer when the file does not set them.
    QMap<QString, QString> active{{QStringLiteral("Walk Through Windows"), QStringLiteral("Alt+Tab")},
                                  {QStringLiteral("Walk Through Windows (Reverse)"), QStringLiteral("Alt+Shift+Backtab")},
                                  {QStringLiteral("Walk Through Windows of Current Application"), QStringLiteral("Alt+`")},
                                  {QStringLiteral("Walk Through Windows of Current Application (Reverse)"),
                                   QStringLiteral("Alt+~")}};
    bool inKWin = false;
    for (const QString& raw : globalShortcuts.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inKWin = line == QLatin1String("[kwin]");
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inKWin && equals > 0 && active.contains(line.left(equals)))
            active[line.left(equals)] = line.mid(equals + 1).section(QLatin1Char(','), 0, 0);
    }
    // KWin's names: "Alt+Tab", "Alt+Shift+Backtab"; several shortcuts are separated by tabs.
    // Shift only reverses, so it is left out on both sides.
    const QString ours = shortcutName(shortcut).toLower();
    for (const QString& value : std::as_const(active))
        for (QString bound : value.split(QLatin1Char('\t'))) {
            bound = bound.toLower().remove(QLatin1String("shift+"));
            bound.replace(QLatin1String("backtab"), QLatin1String("tab")).replace(QLatin1Char('~'), QLatin1Char('`'));
            if (bound == ours)
                return true;
        }
    return false;
}

ConflictAdvice conflictAdvice(const ShortcutHolder& holder, const HookShortcut& shortcut,
                              const std::vector<BindingEdit>& edits, bool holds)
{
    const QString name = shortcutName(shortcut);
    const QString other = QStringLiteral("another program");
    if (!edits.empty())
        return {holder.name, QStringLiteral("%1 is held by %2, the window manager, for its own window switcher. "
                                            "To free it there, run:\n%3")
                                 .arg(name, holder.name, editCommands(edits).join(QLatin1Char('\n')))};
    if (holds)
        return {holder.name, QStringLiteral("%1 is held by %2, the window manager, for its own window switcher. "
                                            "To free it there: %3")
                                 .arg(name, holder.name, holder.howToFree)};
    // X does not say who holds a grab: name the likely holder, say how sure that is.
    if (holder.known && holder.schemas.isEmpty())
        return {other, QStringLiteral("%1 is held by another program, most likely %2, the window manager, which "
                                      "binds it by default. To free it there: %3")
                           .arg(name, holder.name, holder.howToFree)};
    if (holder.known)
        return {other, QStringLiteral("%1 is held by another program: %2, the window manager, leaves it free. "
                                      "Close that program, or choose another shortcut in Zumo.")
                           .arg(name, holder.name)};
    if (holder.name == other)
        return {other, QStringLiteral("%1 is held by another program. %2").arg(name, holder.howToFree)};
    return {other, QStringLiteral("%1 is held by another program (the window manager is %2). %3")
                       .arg(name, holder.name, holder.howToFree)};
}

QStringList editCommands(const std::vector<BindingEdit>& edits, bool undo)
{
    QStringList commands;
    for (const BindingEdit& e : edits)
        commands << QStringLiteral("gsettings set %1 %2 \"%3\"").arg(e.schema, e.key, undo ? e.before : e.after);
    return commands;
}

} // namespace zumo::x11
