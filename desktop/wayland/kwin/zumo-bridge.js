// Zumo's bridge inside KWin: tells Zumo about every window and its changes, carries out what Zumo
// asks (activate, close, minimise, move, switch desktop), and hands Zumo the switcher's shortcuts.
// Written for KWin 5.27 and Plasma 6: where the scripting API was renamed, both names are tried.
// Everything goes over D-Bus as JSON text, so neither side depends on how a version maps types.
"use strict";

var service = "com.zumo.app";
var path = "/KWin";
var iface = "com.zumo.KWin";

var ws = workspace;
var plasma6 = typeof ws.windowList === "function";
var stamp = 0;         // raised at every activation: the windows' activation order
var stamps = {};       // window id -> stamp of its last activation
var watched = {};      // window id -> true once its change signals are connected

function allWindows() { return plasma6 ? ws.windowList() : ws.clientList(); }
function activeWindow() { return plasma6 ? ws.activeWindow : ws.activeClient; }
function idOf(w) { return String(w.internalId); }

function currentDesktop() {
    // A number from 1 on 5.27; a desktop object on Plasma 6, whose place in the list is the number.
    var current = ws.currentDesktop;
    if (typeof current === "number")
        return current;
    return ws.desktops.indexOf(current) + 1;
}

// 0 when the window is on every desktop.
function desktopOf(w) {
    if (w.onAllDesktops)
        return 0;
    if (typeof w.desktop === "number")
        return w.desktop < 0 ? 0 : w.desktop;
    return w.desktops && w.desktops.length ? ws.desktops.indexOf(w.desktops[0]) + 1 : 0;
}

// Ordinary windows only: not panels, menus, tooltips, nor Zumo's own overlay.
function listed(w) {
    return (w.normalWindow || w.dialog) && !w.skipSwitcher && !w.specialWindow;
}

function record(w) {
    var g = w.frameGeometry;
    return {
        id: idOf(w), title: String(w.caption || ""), appId: String(w.desktopFileName || w.resourceClass || ""),
        pid: w.pid || 0, minimized: !!w.minimized, desktop: desktopOf(w), active: w === activeWindow(),
        order: stamps[idOf(w)] || 0, x: g.x, y: g.y, width: g.width, height: g.height
    };
}

function post(message) {
    callDBus(service, path, iface, "Post", JSON.stringify(message));
}

function sendWindow(w) {
    if (listed(w))
        post({ kind: "window", window: record(w) });
}

function sendAll() {
    var windows = [];
    allWindows().forEach(function (w) {
        watch(w);
        if (listed(w))
            windows.push(record(w));
    });
    post({ kind: "windows", desktop: currentDesktop(), windows: windows });
}

function connect(w, signal, handler) {
    if (w[signal] && w[signal].connect)
        w[signal].connect(handler);
}

function watch(w) {
    var id = idOf(w);
    if (watched[id])
        return;
    watched[id] = true;
    var changed = function () { sendWindow(w); };
    ["captionChanged", "minimizedChanged", "desktopChanged", "desktopsChanged", "frameGeometryChanged",
     "desktopFileNameChanged", "skipSwitcherChanged"].forEach(function (s) { connect(w, s, changed); });
}

function added(w) {
    watch(w);
    sendWindow(w);
}

function removed(w) {
    var id = idOf(w);
    delete watched[id];
    delete stamps[id];
    post({ kind: "removed", id: id });
}

function activated(w) {
    if (!w)
        return;
    stamps[idOf(w)] = ++stamp;
    if (listed(w))
        post({ kind: "activated", id: idOf(w), order: stamp });
}

function find(id) {
    var all = allWindows();
    for (var i = 0; i < all.length; ++i)
        if (idOf(all[i]) === id)
            return all[i];
    return null;
}

function setCurrentDesktop(n) {
    if (plasma6)
        ws.currentDesktop = ws.desktops[n - 1];
    else
        ws.currentDesktop = n;
}

function carryOut(request) {
    if (request.do === "list")
        return sendAll();
    if (request.do === "ping")
        return post({ kind: "pong", serial: request.serial });
    if (request.do === "desktop")
        return setCurrentDesktop(request.desktop);
    var w = find(request.id);
    if (!w)
        return;
    if (request.do === "activate") {
        if (desktopOf(w) !== 0 && desktopOf(w) !== currentDesktop())
            setCurrentDesktop(desktopOf(w));
        if (plasma6)
            ws.activeWindow = w;
        else
            ws.activeClient = w;
    } else if (request.do === "close") {
        w.closeWindow();
    } else if (request.do === "minimize") {
        w.minimized = !!request.on;
    } else if (request.do === "frame") {
        w.frameGeometry = { x: request.x, y: request.y, width: request.width, height: request.height };
    }
}

// Zumo answers this call when it has requests; each answer asks again at once. Zumo also answers
// with an empty list now and then, before D-Bus would end the call as timed out.
function takeRequests() {
    callDBus(service, path, iface, "Requests", function (text) {
        try {
            JSON.parse(text).forEach(carryOut);
        } catch (e) {
            print("zumo-bridge: unreadable requests: " + e);
        }
        takeRequests();
    });
}

// A Zumo gone without unloading this script (killed, crashed) leaves its keys here until it starts
// again; meanwhile KWin's own switcher answers Alt+Tab, as it did before Zumo took it (the other
// shortcuts have no one action of KWin's to stand for them).
function shortcut(name, text, keys, kwinAction) {
    registerShortcut("Zumo " + name, text, keys, function () {
        post({ kind: "shortcut", name: name });
        if (!kwinAction)
            return;
        callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner", service,
                 function (running) {
                     if (!running)
                         callDBus("org.kde.kglobalaccel", "/component/kwin", "org.kde.kglobalaccel.Component",
                                  "invokeShortcut", kwinAction);
                 });
    });
}

if (plasma6) {
    ws.windowAdded.connect(added);
    ws.windowRemoved.connect(removed);
    ws.windowActivated.connect(activated);
} else {
    ws.clientAdded.connect(added);
    ws.clientRemoved.connect(removed);
    ws.clientActivated.connect(activated);
}
ws.currentDesktopChanged.connect(function () { post({ kind: "desktop", desktop: currentDesktop() }); });
shortcut("next", "Zumo: switch windows", "Alt+Tab", "Walk Through Windows");
shortcut("prev", "Zumo: switch windows (reverse)", "Alt+Shift+Backtab", "Walk Through Windows (Reverse)");
// The rest of the switcher's shortcut list (the per-application one, the extra ones): Zumo gives
// these actions their keys.
for (var n = 1; n < 4; ++n) {
    shortcut("next " + n, "Zumo: switcher shortcut " + (n + 1), "", "");
    shortcut("prev " + n, "Zumo: switcher shortcut " + (n + 1) + " (reverse)", "", "");
}
if (activeWindow())
    stamps[idOf(activeWindow())] = ++stamp;
sendAll();
takeRequests();
