// Moving the switcher's keys between KWin's task switcher and Zumo's script, and back.
#include "desktop/wayland/KWinShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

#include "platform/Log.h"
#include "settings/SettingsStore.h"

namespace zumo::wayland {

namespace {

const QString RecordKey = QStringLiteral("freedKWinShortcuts");
// The same consent as for X11 window managers: free the switcher's shortcuts while Zumo runs.
const QString ConsentKey = QStringLiteral("freeShortcutsFromWindowManager");
constexpr unsigned NoAutoloading = 0x4;  // kglobalaccel: set these keys, not the stored ones

QStringList ourAction(const QString& name)
{
    return {QStringLiteral("kwin"), name, QStringLiteral("KWin"), name};
}

// The script's action for that place in the shortcut list, forward or reverse.
QString scriptAction(std::size_t shortcut, bool reverse)
{
    const QString name = QStringLiteral("Zumo ") + (reverse ? QStringLiteral("prev") : QStringLiteral("next"));
    return shortcut == 0 ? name : name + QStringLiteral(" %1").arg(shortcut);
}

QDBusMessage accel(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                                                       QStringLiteral("org.kde.KGlobalAccel"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

QVariant intList(const std::vector<int>& keys)
{
    return QVariant::fromValue(QList<int>(keys.begin(), keys.end()));
}

} // namespace

QStringList BusGlobalShortcuts::holder(int key)
{
    return accel(QStringLiteral("action"), {key}).arguments().value(0).toStringList();
}

std::vector<int> BusGlobalShortcuts::keys(const QStringList& action)
{
    const QDBusMessage reply = accel(QStringLiteral("shortcut"), {action});
    const QVariant value = reply.arguments().value(0);
    QList<int> list;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> list;
    std::vector<int> keys;
    for (int k : list)
        if (k != 0)
            keys.push_back(k);
    return keys;
}

bool BusGlobalShortcuts::setKeys(const QStringList& action, const std::vector<int>& keys)
{
    std::vector<int> sent = keys;
    if (sent.empty())
        sent.push_back(0);  // "no key"
    return accel(QStringLiteral("setShortcut"), {action, intList(sent), NoAutoloading}).type() ==
           QDBusMessage::ReplyMessage;
}

std::vector<KWinShortcuts::Wanted> KWinShortcuts::keysFor(const std::vector<HookShortcut>& shortcuts, bool toScript)
{
    std::vector<Wanted> wanted;
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        const HookShortcut& s = shortcuts[i];
        int mods = 0;
        if (s.mask & keys::Option)
            mods |= int(Qt::AltModifier);
        if (s.mask & keys::Control)
            mods |= int(Qt::ControlModifier);
        const bool scripted = toScript && i < KWinScriptShortcuts;
        // `reversed` is the whole shifted key: Qt names Shift+` as ~, without the modifier.
        const auto both = [&](int key, int reversed) {
            const QString name = shortcutName(s);
            wanted.push_back({mods | key, name, scripted ? scriptAction(i, false) : QString()});
            wanted.push_back({mods | reversed, name + QStringLiteral(" (reverse)"), scripted ? scriptAction(i, true) : QString()});
        };
        const int shift = Qt::ShiftModifier;
        switch (s.key) {
        case keys::Tab: both(Qt::Key_Tab, shift | Qt::Key_Backtab); break;
        case keys::Grave: both(Qt::Key_QuoteLeft, Qt::Key_AsciiTilde); break;
        case keys::Space: both(Qt::Key_Space, shift | Qt::Key_Space); break;
        case keys::Section: both(Qt::Key_section, shift | Qt::Key_section); break;
        default: break;
        }
    }
    return wanted;
}

KWinShortcuts::KWinShortcuts(SettingsStore& store, GlobalShortcuts& shortcuts, std::vector<Wanted> wanted)
    : m_store(store), m_shortcuts(shortcuts), m_wanted(std::move(wanted))
{
}

std::optional<QString> KWinShortcuts::pass(bool change)
{
    const bool free = change && consented();
    m_holder.clear();
    m_kwinHolds = false;
    QJsonArray record = m_store.value(RecordKey).toArray();
    QStringList held;
    for (const Wanted& w : m_wanted) {
        const QStringList holder = m_shortcuts.holder(w.key);
        if (!w.action.isEmpty() && holder.value(1) == w.action)
            continue;
        if (!holder.isEmpty()) {
            if (!free || holder.value(0) != QLatin1String("kwin")) {
                held << QStringLiteral("%1 by \"%2\" of %3").arg(w.text, holder.value(3), holder.value(2));
                if (m_holder.isEmpty())
                    m_holder = QStringLiteral("%1 (%2)").arg(holder.value(2), holder.value(3));
                m_kwinHolds = m_kwinHolds || holder.value(0) == QLatin1String("kwin");
                continue;
            }
            std::vector<int> before = m_shortcuts.keys(holder);
            std::vector<int> after = before;
            after.erase(std::remove(after.begin(), after.end(), w.key), after.end());
            QJsonArray keys;
            for (int k : before)
                keys.append(k);
            QJsonArray left;
            for (int k : after)
                left.append(k);
            record.append(QJsonObject{{QStringLiteral("action"), QJsonArray::fromStringList(holder)},
                                      {QStringLiteral("key"), w.key}, {QStringLiteral("keys"), keys},
                                      {QStringLiteral("left"), left}});
            m_store.setValue(RecordKey, record);
            m_store.flush();
            m_shortcuts.setKeys(holder, after);
            appLog(QStringLiteral("took %1 from KWin's \"%2\" while Zumo runs").arg(w.text, holder.value(3)));
        }
        if (change && !w.action.isEmpty())
            m_shortcuts.setKeys(ourAction(w.action), {w.key});
    }
    if (held.isEmpty())
        return std::nullopt;
    return QStringLiteral("%1 is held by KWin (%2). Free it in System Settings > Shortcuts > KWin, or let Zumo "
                          "free it while it runs (Settings > General)")
        .arg(held.size() == 1 ? QStringLiteral("a switcher shortcut") : QStringLiteral("the switcher's shortcuts"),
             held.join(QStringLiteral(", ")));
}

bool KWinShortcuts::consented() const
{
    return m_store.value(ConsentKey).toBool(false);
}

bool KWinShortcuts::asked() const
{
    return m_store.contains(ConsentKey);
}

void KWinShortcuts::setConsented(bool yes)
{
    m_store.setValue(ConsentKey, yes);
}

bool KWinShortcuts::recorded(const SettingsStore& store)
{
    return store.contains(RecordKey);
}

void KWinShortcuts::giveBack()
{
    // Every action of the script's, not only those wanted now: a run that crashed may have
    // wanted others.
    const bool scripted = std::any_of(m_wanted.begin(), m_wanted.end(), [](const Wanted& w) { return !w.action.isEmpty(); });
    for (std::size_t i = 0; scripted && i < KWinScriptShortcuts; ++i)
        for (bool reverse : {false, true})
            if (const QStringList ours = ourAction(scriptAction(i, reverse)); !m_shortcuts.keys(ours).empty())
                m_shortcuts.setKeys(ours, {});
    const QJsonArray record = m_store.value(RecordKey).toArray();
    int restored = 0;
    // Latest first: an action that lost two keys gets them back in the reverse order it lost them.
    for (qsizetype i = record.size(); i-- > 0;) {
        const QJsonObject o = record.at(i).toObject();
        QStringList action;
        for (const QJsonValue& part : o.value(QStringLiteral("action")).toArray())
            action << part.toString();
        const int key = o.value(QStringLiteral("key")).toInt();
        const auto ints = [&o](const char* name) {
            std::vector<int> keys;
            for (const QJsonValue& k : o.value(QLatin1String(name)).toArray())
                keys.push_back(k.toInt());
            return keys;
        };
        const std::vector<int> keys = ints("keys");
        // The user gave the action other keys, or the key to something else, since: theirs stays.
        if (action.size() != 4 || m_shortcuts.keys(action) != ints("left") || !m_shortcuts.holder(key).isEmpty())
            continue;
        restored += m_shortcuts.setKeys(action, keys);
    }
    if (!record.isEmpty()) {
        m_store.remove(RecordKey);
        m_store.flush();
        appLog(QStringLiteral("gave %1 shortcut(s) back to KWin").arg(restored));
    }
}

} // namespace zumo::wayland
