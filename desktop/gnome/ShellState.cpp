// One small reader per part of the extension's JSON.
#include "desktop/gnome/ShellState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace zumo::gnome {

namespace {

QRect rectOf(const QJsonValue& value)
{
    const QJsonArray r = value.toArray();
    if (r.size() != 4)
        return {};
    return {r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt()};
}

std::optional<wayland::Toplevel> windowOf(const QJsonObject& o)
{
    const double id = o.value(QLatin1String("id")).toDouble();
    if (id < 1 || id > 0xFFFFFFFFu)
        return std::nullopt;
    wayland::Toplevel t;
    t.id = std::uint32_t(id);
    t.title = o.value(QLatin1String("title")).toString();
    t.appId = o.value(QLatin1String("appId")).toString();
    // A process id the kernel could have given (at most 2^22); else unknown.
    if (const double pid = o.value(QLatin1String("pid")).toDouble(0); pid >= 1 && pid <= 4194304)
        t.process = Pid(pid);
    if (t.appId.endsWith(QLatin1String(".desktop")))
        t.appId.chop(8);
    t.activated = o.value(QLatin1String("focused")).toBool();
    t.minimized = o.value(QLatin1String("minimized")).toBool();
    t.fullscreen = o.value(QLatin1String("fullscreen")).toBool();
    // The extension counts workspaces from 0 and gives -1 for a window on all of them.
    const int workspace = o.value(QLatin1String("workspace")).toInt(-1);
    t.desktop = workspace >= 0 ? std::uint32_t(workspace) + 1 : 0;
    t.monitor = o.value(QLatin1String("monitor")).toInt(-1);
    t.frame = rectOf(o.value(QLatin1String("frame")));
    return t;
}

} // namespace

ShellState parseShellState(const QByteArray& json)
{
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    ShellState state;
    for (const QJsonValue w : root.value(QLatin1String("windows")).toArray())
        if (auto window = windowOf(w.toObject()))
            state.windows.push_back(std::move(*window));
    for (const QJsonValue m : root.value(QLatin1String("monitors")).toArray())
        state.monitors.push_back({rectOf(m.toObject().value(QLatin1String("frame"))),
                                  rectOf(m.toObject().value(QLatin1String("workArea")))});
    state.workspace = root.value(QLatin1String("workspace")).toInt();
    for (wayland::Toplevel& t : state.windows)
        t.onCurrentDesktop = t.desktop == 0 || int(t.desktop) == state.workspace + 1;
    state.serial = root.value(QLatin1String("serial")).toDouble();
    return state;
}

} // namespace zumo::gnome
