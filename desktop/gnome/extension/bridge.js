// Zumo's part inside GNOME Shell: on Wayland no other program may see the windows or the
// keyboard, so this exports the window facts over D-Bus, carries out Zumo's requests, answers
// the switcher key bindings while Zumo runs and shows the panel image Zumo paints.
// The build wraps this in the entry of the Shell it targets (legacy.js.in for 43 and 44,
// module.js.in for 45 and later), which binds Clutter, Cogl, Gio, GLib, Meta, Shell, St and Main.

const BusName = 'org.zumo.Shell';
const ObjectPath = '/org/zumo/Shell';
const Interface = `<node><interface name="org.zumo.Shell1">
  <method name="GetWindows"><arg type="s" direction="out"/></method>
  <method name="Activate"><arg type="u" name="id" direction="in"/></method>
  <method name="Close"><arg type="u" name="id" direction="in"/></method>
  <method name="SetMinimized"><arg type="u" name="id" direction="in"/><arg type="b" direction="in"/></method>
  <method name="SetFullscreen"><arg type="u" name="id" direction="in"/><arg type="b" direction="in"/></method>
  <method name="MoveResize"><arg type="u" name="id" direction="in"/>
    <arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="TakeShortcuts"><arg type="b" name="take" direction="in"/></method>
  <method name="TakeGroupShortcut"><arg type="b" name="take" direction="in"/></method>
  <method name="Grab"/>
  <method name="Release"/>
  <method name="ShowPanel"><arg type="h" name="pixels" direction="in"/><arg type="i" name="width" direction="in"/>
    <arg type="i" name="height" direction="in"/><arg type="i" name="stride" direction="in"/></method>
  <method name="HidePanel"/>
  <method name="Capture"><arg type="u" name="id" direction="in"/><arg type="ay" name="png" direction="out"/></method>
  <signal name="WindowsChanged"><arg type="s" name="state"/></signal>
  <signal name="SwitchPressed"><arg type="b" name="reverse"/><arg type="i" name="monitor"/></signal>
  <signal name="GroupPressed"><arg type="b" name="reverse"/><arg type="i" name="monitor"/></signal>
  <signal name="Key"><arg type="u" name="keyval"/><arg type="u" name="keycode"/><arg type="b" name="pressed"/>
    <arg type="u" name="modifiers"/></signal>
  <signal name="Modifiers"><arg type="u" name="modifiers"/></signal>
  <signal name="GrabLost"/>
  <signal name="PanelPointer"><arg type="i" name="kind"/><arg type="d" name="x"/><arg type="d" name="y"/></signal>
</interface></node>`;

// The bindings of GNOME's own switcher that Alt+Tab and its variants run.
const SwitchBindings = ['switch-applications', 'switch-applications-backward', 'switch-windows',
    'switch-windows-backward'];
// The Shell's window-group switcher (Alt+`), Zumo's per-application shortcut when it has one.
const GroupBindings = ['switch-group', 'switch-group-backward'];
// How many times a window is asked for its new frame at most (see _placed).
const ResizeAsks = 4;
const PointerMoved = 0, PointerPressed = 1, WheelUp = 2, WheelDown = 3;

// Mutter reads input on a thread of its own: the seat's modifiers now may already include a
// release whose key event is still on its way here. So the modifiers told to Zumo follow the
// events handled, and the seat is asked only when no event says.
function currentModifiers() {
    return global.get_pointer()[2];
}

const ModifierMasks = new Map([
    [Clutter.KEY_Shift_L, Clutter.ModifierType.SHIFT_MASK], [Clutter.KEY_Shift_R, Clutter.ModifierType.SHIFT_MASK],
    [Clutter.KEY_Control_L, Clutter.ModifierType.CONTROL_MASK], [Clutter.KEY_Control_R, Clutter.ModifierType.CONTROL_MASK],
    [Clutter.KEY_Alt_L, Clutter.ModifierType.MOD1_MASK], [Clutter.KEY_Alt_R, Clutter.ModifierType.MOD1_MASK],
    [Clutter.KEY_Meta_L, Clutter.ModifierType.MOD1_MASK], [Clutter.KEY_Meta_R, Clutter.ModifierType.MOD1_MASK],
    [Clutter.KEY_Super_L, Clutter.ModifierType.MOD4_MASK], [Clutter.KEY_Super_R, Clutter.ModifierType.MOD4_MASK],
]);

// The modifiers held after a key event: its state is from before it.
function modifiersAfter(event, pressed) {
    const mask = ModifierMasks.get(event.get_key_symbol()) || 0;
    const before = event.get_state();
    return pressed ? before | mask : before & ~mask;
}

class ZumoBridge {
    constructor() {
        this._ids = new Map();  // Meta.Window -> ours, from 1, never reused
        this._nextId = 1;
        this._windowSignals = new Map();
        this._resized = new Map();  // Meta.Window -> the frame last asked for, and its size before
        this._signals = [];
        this._emitSource = 0;
        this._serial = 0;  // counts the changes, so Zumo can tell an older report from a newer
        this._zumoWatch = 0;
        this._zumo = null;  // the bus name of the Zumo that took the bindings
        this._groupTaken = false;
        this._grab = null;
        this._mods = 0;  // held after the last key event handled
        this._waiting = null;  // cancels the activation waiting for a client's new size
    }

    enable() {
        this._dbus = Gio.DBusExportedObject.wrapJSObject(Interface, this);
        this._dbus.export(Gio.DBus.session, ObjectPath);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BusName, Gio.BusNameOwnerFlags.NONE,
            null, null);
        this._mutterSettings = new Gio.Settings({schema_id: 'org.gnome.mutter'});
        this._panel = new St.Widget({reactive: true, can_focus: true, visible: false});
        this._panel.connect('key-press-event', (actor, event) => this._key(event, true));
        this._panel.connect('key-release-event', (actor, event) => this._key(event, false));
        this._panel.connect('motion-event', (actor, event) => this._pointer(PointerMoved, event));
        this._panel.connect('button-press-event', (actor, event) => this._pointer(PointerPressed, event));
        this._panel.connect('scroll-event', (actor, event) => this._scroll(event));
        Main.uiGroup.add_child(this._panel);
        const display = global.display;
        this._connect(display, 'window-created', (d, window) => this._track(window));
        this._connect(display, 'notify::focus-window', () => this._changed());
        this._connect(global.workspace_manager, 'active-workspace-changed', () => this._changed());
        this._connect(Main.layoutManager, 'monitors-changed', () => this._changed());
        for (const actor of global.get_window_actors())
            this._track(actor.meta_window);
    }

    disable() {
        this._giveBackShortcuts();
        this.Release();
        for (const [object, id] of this._signals)
            object.disconnect(id);
        this._signals = [];
        for (const [window, ids] of this._windowSignals)
            ids.forEach(id => window.disconnect(id));
        this._windowSignals.clear();
        this._stopWaiting();
        [...this._resized.keys()].forEach(window => this._forgetResize(window));
        if (this._emitSource)
            GLib.source_remove(this._emitSource);
        this._emitSource = 0;
        this._panel.destroy();
        Gio.bus_unown_name(this._nameId);
        this._dbus.unexport();
        this._dbus = null;
    }

    _connect(object, signal, handler) {
        this._signals.push([object, object.connect(signal, handler)]);
    }

    _track(window) {
        if (this._windowSignals.has(window))
            return;
        this._ids.set(window, this._nextId++);
        const changed = () => this._changed();
        const ids = ['notify::title', 'notify::minimized', 'notify::wm-class', 'notify::gtk-application-id',
            'notify::fullscreen', 'workspace-changed', 'position-changed', 'size-changed']
            .map(signal => window.connect(signal, changed));
        ids.push(window.connect('position-changed', () => this._placed(window)));
        ids.push(window.connect('unmanaged', () => {
            this._windowSignals.get(window).forEach(id => window.disconnect(id));
            this._windowSignals.delete(window);
            this._ids.delete(window);
            this._forgetResize(window);
            this._changed();
        }));
        this._windowSignals.set(window, ids);
        this._changed();
    }

    // Many changes come together (a focus change restacks and retitles): one signal for them.
    _changed() {
        this._serial++;
        if (this._emitSource)
            return;
        this._emitSource = GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
            this._emitSource = 0;
            this._dbus.emit_signal('WindowsChanged', new GLib.Variant('(s)', [this.GetWindows()]));
            return GLib.SOURCE_REMOVE;
        });
    }

    _facts(window) {
        const app = Shell.WindowTracker.get_default().get_window_app(window);
        const frame = window.get_frame_rect();
        const workspace = window.is_on_all_workspaces() ? null : window.get_workspace();
        return {
            id: this._ids.get(window),
            title: window.get_title() || '',
            // A window the Shell knows no application for gets a made-up id ("window:N"): the
            // window's own app id (its class) tells more, such as which browser it is.
            appId: (app && !app.is_window_backed() && app.get_id()) || window.get_gtk_application_id() ||
                window.get_wm_class() || '',
            appName: (app && app.get_name()) || '',
            pid: window.get_pid(),
            minimized: window.minimized,
            fullscreen: window.is_fullscreen(),
            focused: window.has_focus(),
            workspace: workspace ? workspace.index() : -1,
            monitor: window.get_monitor(),
            frame: [frame.x, frame.y, frame.width, frame.height],
        };
    }

    _window(id) {
        for (const [window, known] of this._ids)
            if (known === id)
                return window;
        return null;
    }

    // The windows most recently focused first (the focus history), with the monitors.
    GetWindows() {
        const windows = global.display.get_tab_list(Meta.TabList.NORMAL_ALL, null)
            .filter(w => this._ids.has(w)).map(w => this._facts(w));
        const monitors = Main.layoutManager.monitors.map(m => {
            const area = Main.layoutManager.getWorkAreaForMonitor(m.index);
            return {frame: [m.x, m.y, m.width, m.height], workArea: [area.x, area.y, area.width, area.height]};
        });
        // Where the panel shows now (null when hidden), for tests and bug reports.
        const shown = this._panel.visible && this._panel.opacity > 0;
        const panel = shown ? [this._panel.x, this._panel.y, this._panel.width, this._panel.height] : null;
        return JSON.stringify({serial: this._serial, windows, monitors, panel,
            workspace: global.workspace_manager.get_active_workspace_index()});
    }

    Activate(id) {
        const window = this._window(id);
        if (!window)
            return;
        const time = global.get_current_time();
        this._afterResize(window, () => Main.activateWindow(window, time));
    }

    Close(id) {
        const window = this._window(id);
        if (window)
            window.delete(global.get_current_time());
    }

    SetMinimized(id, minimized) {
        const window = this._window(id);
        if (window && minimized)
            window.minimize();
        else if (window)
            window.unminimize();
    }

    SetFullscreen(id, fullscreen) {
        const window = this._window(id);
        if (window && fullscreen)
            window.make_fullscreen();
        else if (window)
            window.unmake_fullscreen();
    }

    MoveResize(id, x, y, width, height) {
        const window = this._window(id);
        if (!window)
            return;
        // An earlier request's answers must not bring its frame back.
        this._forgetResize(window);
        const before = window.get_frame_rect();
        // A client draws its new size on its next frame, and Mutter gives frames only to windows
        // it paints: one covered by others or minimized would not answer before its activation.
        // So it is shown and raised first (neither sends the client anything, and the activation
        // after a snap does both anyway).
        if (window.minimized)
            window.unminimize();
        window.raise();
        if (window.get_maximized())
            window.unmaximize(Meta.MaximizeFlags.BOTH);
        window.move_resize_frame(true, x, y, width, height);
        this._resized.set(window, {x, y, width, height, before: [before.width, before.height], asks: 1, damageId: 0});
    }

    // A client answers a new size with a commit. A second configure before that commit (an
    // activation sends one, for the focus) makes foot and Qt commit the new geometry over the old
    // buffer, and Mutter then keeps the old size for good. So an activation after a resize waits
    // for the client's answer: the size asked for, or another one than before (a terminal rounds
    // to whole cells). A window that cannot be resized never answers. A client silent for as long
    // as Mutter allows before calling it not responding is activated anyway; a slow one on a
    // loaded machine is not (a second was too short there). Another activation of the same window
    // joins the wait; one of another window replaces it, so focus never jumps back to a window
    // the user has left. A window on another workspace cannot draw before its activation, which
    // then goes at once.
    _afterResize(window, then) {
        const waiting = this._waiting;
        const asked = this._resized.get(window);
        if (waiting && waiting.window === window && waiting.asked === asked) {
            waiting.then = then;
            return;
        }
        this._stopWaiting();
        if (!asked || !window.allows_resize() || this._reached(window, asked)) {
            this._forgetResize(window);
            return then();
        }
        if (!window.located_on_workspace(global.workspace_manager.get_active_workspace()))
            return then();
        const silence = this._mutterSettings.get_uint('check-alive-timeout') || 5000;
        const record = {window, asked, then, stop: null};
        const sizeId = window.connect('size-changed', () => {
            if (this._reached(window, asked))
                finish(true);
        });
        const goneId = window.connect('unmanaged', () => finish(false));
        let timeoutId = GLib.timeout_add(GLib.PRIORITY_DEFAULT, silence, () => {
            timeoutId = 0;
            finish(true);
            return GLib.SOURCE_REMOVE;
        });
        const finish = activate => {
            window.disconnect(sizeId);
            window.disconnect(goneId);
            if (timeoutId)
                GLib.source_remove(timeoutId);
            this._waiting = null;
            if (this._resized.get(window) === asked)
                this._forgetResize(window);
            if (activate)
                record.then();
        };
        record.stop = () => finish(false);
        this._waiting = record;
    }

    // The size asked for, or another one than before: a terminal rounds to whole cells.
    _reached(window, asked) {
        const frame = window.get_frame_rect();
        return (frame.width === asked.width && frame.height === asked.height) ||
            frame.width !== asked.before[0] || frame.height !== asked.before[1];
    }

    // The client's first answer to a move and resize. A Qt client told its new size while it had
    // no frames takes the new place but keeps its old size, and sets its size only when told
    // again while it draws: so it is asked again at once and at its next frames, a few times.
    _placed(window) {
        const asked = this._resized.get(window);
        const actor = window.get_compositor_private();
        if (!asked || asked.damageId || !actor || this._reached(window, asked))
            return;
        const askAgain = () => {
            if (this._reached(window, asked) || asked.asks >= ResizeAsks)
                return this._stopAsking(asked);
            asked.asks++;
            window.move_resize_frame(true, asked.x, asked.y, asked.width, asked.height);
        };
        asked.actor = actor;
        asked.damageId = actor.connect('damaged', askAgain);
        askAgain();
    }

    _stopAsking(asked) {
        if (asked.damageId > 0)
            asked.actor.disconnect(asked.damageId);
        asked.damageId = -1;
    }

    _forgetResize(window) {
        const asked = this._resized.get(window);
        if (asked)
            this._stopAsking(asked);
        this._resized.delete(window);
    }

    _stopWaiting() {
        if (this._waiting)
            this._waiting.stop();
    }

    // Alt+Tab goes to Zumo until it asks no more or leaves the bus; gsettings are not touched.
    TakeShortcutsAsync([take], invocation) {
        this._giveBackShortcuts();
        invocation.return_value(null);
        if (!take)
            return;
        this._zumo = invocation.get_sender();
        const modes = Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW;
        for (const name of SwitchBindings)
            Main.wm.setCustomKeybindingHandler(name, modes, (d, w, binding) => this._pressed(binding));
        this._zumoWatch = Gio.bus_watch_name_on_connection(Gio.DBus.session, invocation.get_sender(),
            Gio.BusNameWatcherFlags.NONE, null, () => {
                this._giveBackShortcuts();
                this.Release();
            });
    }

    // Alt+` too, while the Zumo that holds Alt+Tab asks for it.
    TakeGroupShortcutAsync([take], invocation) {
        invocation.return_value(null);
        if (this._zumoWatch && invocation.get_sender() === this._zumo)
            this._takeGroup(take);
    }

    _takeGroup(take) {
        if (take === this._groupTaken)
            return;
        this._groupTaken = take;
        const modes = Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW;
        for (const name of GroupBindings) {
            if (take)
                Main.wm.setCustomKeybindingHandler(name, modes, (d, w, binding) => this._pressed(binding, 'GroupPressed'));
            else
                Main.wm.setCustomKeybindingHandler(name, Shell.ActionMode.NORMAL, Main.wm._startSwitcher.bind(Main.wm));
        }
    }

    _giveBackShortcuts() {
        if (!this._zumoWatch)
            return;
        this._takeGroup(false);
        Gio.bus_unwatch_name(this._zumoWatch);
        this._zumoWatch = 0;
        this._zumo = null;
        // What GNOME Shell sets up for these bindings.
        for (const name of SwitchBindings)
            Main.wm.setCustomKeybindingHandler(name, Shell.ActionMode.NORMAL, Main.wm._startSwitcher.bind(Main.wm));
    }

    // The keyboard is taken at the press, before Zumo hears of it, so a release of Alt that
    // comes at once is seen; Zumo lets it go when its run ends.
    _pressed(binding, signal = 'SwitchPressed') {
        const event = Clutter.get_current_event();
        this._mods = event ? event.get_state() : currentModifiers();
        this._takeKeyboard();
        const reverse = binding.is_reversed() || binding.get_name().endsWith('-backward');
        this._dbus.emit_signal(signal, new GLib.Variant('(bi)', [reverse, global.display.get_current_monitor()]));
        this._emitModifiers();
    }

    // Takes the keyboard (if not held yet) and tells the modifiers held.
    GrabAsync(params, invocation) {
        if (!this._fromZumo(invocation))
            return;
        if (!this._grab) {
            this._takeKeyboard();
            this._mods = currentModifiers();
        }
        this._emitModifiers();
        invocation.return_value(null);
    }

    // Only the Zumo that took the bindings may hold the keyboard or cover the screen: a stray
    // caller could otherwise leave the Shell modal with nobody watching to let it go.
    _fromZumo(invocation) {
        if (this._zumo && invocation.get_sender() === this._zumo)
            return true;
        invocation.return_dbus_error('org.zumo.Shell1.Error.NotZumo',
            'only the Zumo that took the switcher bindings may do this');
        return false;
    }

    _emitModifiers() {
        if (this._grab)
            this._dbus.emit_signal('Modifiers', new GLib.Variant('(u)', [this._mods]));
        else
            this._dbus.emit_signal('GrabLost', null);
    }

    _takeKeyboard() {
        if (this._grab)
            return;
        this._panel.opacity = 0;
        this._panel.show();
        Main.uiGroup.set_child_above_sibling(this._panel, null);
        const grab = Main.pushModal(this._panel, {actionMode: Shell.ActionMode.SYSTEM_MODAL});
        // Another modal dialog or a grab of a client can hold the keyboard already.
        if ((grab.get_seat_state() & Clutter.GrabState.KEYBOARD) === 0) {
            Main.popModal(grab);
            this._panel.hide();
            return;
        }
        this._grab = grab;
    }

    Release() {
        this.HidePanel();
        if (!this._grab)
            return;
        Main.popModal(this._grab);
        this._grab = null;
        this._mods = 0;  // held after the last key event handled
    }

    // Zumo paints the panel (premultiplied ARGB, as Qt lays it out in memory) into shared
    // memory and hands over its file: megabytes of bytes through the bus would hold up the
    // requests behind them. It is shown at once, centred on the monitor with the pointer, above
    // everything, without an animation.
    ShowPanelAsync([index, width, height, stride], invocation) {
        if (!this._fromZumo(invocation))
            return;
        const fds = invocation.get_message().get_unix_fd_list();
        const fd = fds ? fds.get(index) : -1;
        invocation.return_value(null);
        if (fd < 0)
            return;
        let pixels = null;
        try {
            pixels = GLib.file_get_contents(`/proc/self/fd/${fd}`)[1];
        } catch (e) {
            logError(e, 'Zumo: the panel image could not be read');
        }
        GLib.close(fd);
        if (pixels && pixels.length >= stride * height)
            this._showPanel(pixels, width, height, stride);
    }

    _showPanel(pixels, width, height, stride) {
        const content = St.ImageContent.new_with_preferred_size(width, height);
        // GNOME Shell 46 added the Cogl context as the first argument.
        if (content.set_data.length > 5) {
            const context = global.stage.context.get_backend().get_cogl_context();
            content.set_data(context, pixels, Cogl.PixelFormat.BGRA_8888_PRE, width, height, stride);
        } else {
            content.set_data(pixels, Cogl.PixelFormat.BGRA_8888_PRE, width, height, stride);
        }
        const monitor = Main.layoutManager.monitors[global.display.get_current_monitor()] ||
            Main.layoutManager.primaryMonitor;
        this._panel.set_content(content);
        this._panel.set_size(width, height);
        this._panel.set_position(monitor.x + Math.floor((monitor.width - width) / 2),
            monitor.y + Math.floor((monitor.height - height) / 2));
        this._panel.opacity = 255;
        this._panel.show();
        Main.uiGroup.set_child_above_sibling(this._panel, null);
    }

    // A window's image as PNG, for its tile: only to Zumo, since it shows what the window shows.
    // Empty when the window has none to give (minimised, not yet drawn).
    CaptureAsync([id], invocation) {
        if (!this._fromZumo(invocation))
            return;
        const reply = bytes => invocation.return_value(new GLib.Variant('(ay)', [bytes]));
        const window = this._window(id);
        const actor = window && !window.minimized ? window.get_compositor_private() : null;
        const content = actor ? actor.paint_to_content(null) : null;
        const texture = content ? content.get_texture() : null;
        if (!texture) {
            reply(new Uint8Array(0));
            return;
        }
        const stream = Gio.MemoryOutputStream.new_resizable();
        Shell.Screenshot.composite_to_stream(texture, 0, 0, -1, -1, 1, null, 0, 0, 1, stream, (source, result) => {
            try {
                Shell.Screenshot.composite_to_stream_finish(result);
                stream.close(null);
                reply(stream.steal_as_bytes().toArray());
            } catch (e) {
                logError(e, 'Zumo: a window image could not be made');
                reply(new Uint8Array(0));
            }
        });
    }

    HidePanel() {
        this._panel.set_content(null);
        if (!this._grab)
            this._panel.hide();
        else
            this._panel.opacity = 0;
    }

    _key(event, pressed) {
        this._mods = modifiersAfter(event, pressed);
        this._dbus.emit_signal('Key', new GLib.Variant('(uubu)',
            [event.get_key_symbol(), event.get_key_code(), pressed, this._mods]));
        return Clutter.EVENT_STOP;
    }

    _pointer(kind, event) {
        const [x, y] = event.get_coords();
        const [, px, py] = this._panel.transform_stage_point(x, y);
        this._dbus.emit_signal('PanelPointer', new GLib.Variant('(idd)', [kind, px, py]));
        return Clutter.EVENT_STOP;
    }

    _scroll(event) {
        const direction = event.get_scroll_direction();
        if (direction === Clutter.ScrollDirection.UP || direction === Clutter.ScrollDirection.DOWN)
            this._dbus.emit_signal('PanelPointer', new GLib.Variant('(idd)',
                [direction === Clutter.ScrollDirection.UP ? WheelUp : WheelDown, 0, 0]));
        return Clutter.EVENT_STOP;
    }
}
