// Freeing a window manager's key bindings through gsettings, and putting them back.
#include "desktop/x11/ShortcutRelease.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include "platform/Log.h"
#include "settings/SettingsStore.h"

namespace zumo::x11 {

namespace {

const QString RecordKey = QStringLiteral("freedWindowManagerBindings");
const QString ConsentKey = QStringLiteral("freeShortcutsFromWindowManager");

} // namespace

ShortcutRelease::ShortcutRelease(SettingsStore& store, GSettings gsettings)
    : m_store(store), m_gsettings(std::move(gsettings))
{
}

std::optional<QString> ShortcutRelease::runGSettings(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral("gsettings"), args);
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::vector<BindingEdit> ShortcutRelease::plan(const ShortcutHolder& holder,
                                               const std::vector<HookShortcut>& shortcuts) const
{
    std::vector<BindingEdit> edits;
    for (const QString& schema : holder.schemas) {
        const std::optional<QString> listing = m_gsettings({QStringLiteral("list-recursively"), schema});
        if (!listing)
            continue;
        for (const HookShortcut& shortcut : shortcuts)
            for (BindingEdit& edit : freeingEdits(*listing, shortcut))
                if (std::find(edits.begin(), edits.end(), edit) == edits.end())
                    edits.push_back(std::move(edit));
    }
    return edits;
}

bool ShortcutRelease::unbind(const std::vector<BindingEdit>& edits)
{
    std::vector<BindingEdit> made;
    bool ok = true;
    for (const BindingEdit& edit : edits) {
        if (!m_gsettings({QStringLiteral("set"), edit.schema, edit.key, edit.after})) {
            appLog(QStringLiteral("could not change %1 %2 with gsettings").arg(edit.schema, edit.key));
            ok = false;
            continue;
        }
        made.push_back(edit);
        appLog(QStringLiteral("freed the shortcut from the window manager: %1 %2 is now %3 (was %4)")
                   .arg(edit.schema, edit.key, edit.after, edit.before));
    }
    record(made);
    return ok;
}

int ShortcutRelease::restore()
{
    int restored = 0;
    for (const BindingEdit& edit : recorded()) {
        // A binding the user set to something else since is theirs now.
        const std::optional<QString> now = m_gsettings({QStringLiteral("get"), edit.schema, edit.key});
        if (!now || now->trimmed() != edit.after)
            continue;
        if (m_gsettings({QStringLiteral("set"), edit.schema, edit.key, edit.before}))
            ++restored;
    }
    if (m_store.contains(RecordKey)) {
        m_store.remove(RecordKey);
        m_store.flush();
        appLog(QStringLiteral("gave %1 key binding(s) back to the window manager").arg(restored));
    }
    return restored;
}

bool ShortcutRelease::holdsEdits() const
{
    return m_store.contains(RecordKey);
}

bool ShortcutRelease::asked() const
{
    return m_store.contains(ConsentKey);
}

bool ShortcutRelease::consented() const
{
    return m_store.value(ConsentKey).toBool(false);
}

void ShortcutRelease::setConsented(bool yes)
{
    m_store.setValue(ConsentKey, yes);
}

std::vector<BindingEdit> ShortcutRelease::recorded() const
{
    std::vector<BindingEdit> edits;
    for (const QJsonValue& value : m_store.value(RecordKey).toArray()) {
        const QJsonObject o = value.toObject();
        edits.push_back({o.value(QStringLiteral("schema")).toString(), o.value(QStringLiteral("key")).toString(),
                         o.value(QStringLiteral("before")).toString(), o.value(QStringLiteral("after")).toString()});
    }
    return edits;
}

void ShortcutRelease::record(const std::vector<BindingEdit>& edits)
{
    if (edits.empty())
        return;
    QJsonArray all = m_store.value(RecordKey).toArray();
    for (const BindingEdit& e : edits)
        all.append(QJsonObject{{QStringLiteral("schema"), e.schema}, {QStringLiteral("key"), e.key},
                               {QStringLiteral("before"), e.before}, {QStringLiteral("after"), e.after}});
    m_store.setValue(RecordKey, all);
    // On disk at once: a crash before the coalesced save would lose what to put back.
    m_store.flush();
}

} // namespace zumo::x11
