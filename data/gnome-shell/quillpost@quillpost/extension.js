/* exported init */
'use strict';

const { Clutter, Gio, GLib } = imports.gi;
const Main = imports.ui.main;
const KeyboardManager = imports.misc.keyboardManager;

const BUS_NAME = 'org.quillpost.Shell';
const OBJECT_PATH = '/org/quillpost/Shell';

// Only the Quillpost program may call: anyone who can see the windows and type into them could
// read a player's screen titles and type commands into their game.
const CALLER_BINARY = 'quillpost';

// Time for a key to pass from the input thread to the window, in milliseconds.
const KEY_INTERVAL_MS = 2;

const INTERFACE = `
<node>
  <interface name="org.quillpost.Shell1">
    <!-- id, title, application (its WM_CLASS or app id), whether it has the keyboard -->
    <method name="Windows"><arg type="a(tssb)" direction="out"/></method>
    <method name="Activate">
      <arg name="window" type="t" direction="in"/>
      <arg name="open" type="b" direction="out"/>
    </method>
    <!-- The keymap mutter types with: layouts, variants and options as XKB names, and the
         layout group in effect -->
    <method name="Layout">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="u" direction="out"/>
    </method>
    <!-- Presses each keysym while the window has the keyboard; how many it pressed -->
    <method name="Type">
      <arg name="window" type="t" direction="in"/>
      <arg name="keysyms" type="au" direction="in"/>
      <arg name="typed" type="u" direction="out"/>
    </method>
    <signal name="Closed"><arg name="window" type="t"/></signal>
  </interface>
</node>`;

function callerIsQuillpost(invocation, then) {
    Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
        'org.freedesktop.DBus', 'GetConnectionUnixProcessID',
        new GLib.Variant('(s)', [invocation.get_sender()]), new GLib.VariantType('(u)'),
        Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
            let binary = '';
            try {
                const [pid] = bus.call_finish(result).deepUnpack();
                binary = GLib.path_get_basename(GLib.file_read_link(`/proc/${pid}/exe`));
            } catch (e) {
                // A caller that is gone or hidden from us is refused like any other.
            }
            if (binary !== CALLER_BINARY) {
                invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                    'Only the Quillpost program may use this extension.');
                return;
            }
            try {
                then();
            } catch (e) {
                // Quillpost would otherwise wait for an answer that never comes.
                invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed', `${e}`);
            }
        });
}

class QuillpostService {
    constructor() {
        this._keyboard = null;
        this._dbus = null;
        this._ownerId = 0;
        this._unmanaged = new Map();
        this._createdId = 0;
    }

    enable() {
        // One keyboard for the session: a seat that gains a keyboard loses its first keys.
        const seat = Clutter.get_default_backend().get_default_seat();
        this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._dbus.export(Gio.DBus.session, OBJECT_PATH);
        this._ownerId = Gio.bus_own_name(Gio.BusType.SESSION, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null, null);
        for (const actor of global.get_window_actors())
            this._watch(actor.meta_window);
        this._createdId = global.display.connect('window-created', (_, w) => this._watch(w));
    }

    disable() {
        global.display.disconnect(this._createdId);
        for (const [w, id] of this._unmanaged)
            w.disconnect(id);
        this._unmanaged.clear();
        Gio.bus_unown_name(this._ownerId);
        this._dbus.unexport();
        this._dbus = null;
        this._keyboard = null;
    }

    _watch(w) {
        this._unmanaged.set(w, w.connect('unmanaged', () => {
            this._unmanaged.delete(w);
            this._dbus?.emit_signal('Closed', new GLib.Variant('(t)', [w.get_id()]));
        }));
    }

    _window(id) {
        return global.get_window_actors().map(a => a.meta_window).find(w => w.get_id() === id);
    }

    // While the Shell is modal (the Overview it starts in, a menu, a dialog) its own focus, not
    // the window's, takes the keys.
    _hasKeyboard(id) {
        const focus = global.display.focus_window;
        return focus !== null && focus.get_id() === id && Main.modalCount === 0 &&
            !Main.overview.visible;
    }

    WindowsAsync(_, invocation) {
        callerIsQuillpost(invocation, () => {
            const list = global.get_window_actors()
                .map(a => a.meta_window)
                .filter(w => !w.is_skip_taskbar())
                .map(w => [w.get_id(), w.get_title() ?? '',
                    w.get_wm_class() ?? w.get_gtk_application_id() ?? '',
                    this._hasKeyboard(w.get_id())]);
            invocation.return_value(new GLib.Variant('(a(tssb))', [list]));
        });
    }

    ActivateAsync([id], invocation) {
        callerIsQuillpost(invocation, () => {
            const w = this._window(id);
            if (w)
                Main.activateWindow(w);
            invocation.return_value(new GLib.Variant('(b)', [w !== undefined]));
        });
    }

    LayoutAsync(_, invocation) {
        callerIsQuillpost(invocation, () => {
            const manager = KeyboardManager.getKeyboardManager();
            const keymap = manager._currentKeymap;
            const group = manager.currentLayout?.groupIndex ?? 0;
            invocation.return_value(new GLib.Variant('(sssu)', keymap
                ? [keymap.layouts, keymap.variants, keymap.options, group]
                : [KeyboardManager.DEFAULT_LAYOUT, '', '', 0]));
        });
    }

    // Keys reach the window only once the Shell's main loop has taken them from the input
    // thread; the focus moves in that loop too. So the next key waits for the loop to have
    // handled everything before it, else keys pile up and a window that takes the focus gets
    // them all.
    TypeAsync([id, keysyms], invocation) {
        callerIsQuillpost(invocation, () => {
            let typed = 0;
            const next = () => {
                if (typed === keysyms.length || !this._hasKeyboard(id)) {
                    invocation.return_value(new GLib.Variant('(u)', [typed]));
                    return;
                }
                const time = GLib.get_monotonic_time();
                this._keyboard.notify_keyval(time, keysyms[typed], Clutter.KeyState.PRESSED);
                this._keyboard.notify_keyval(time, keysyms[typed], Clutter.KeyState.RELEASED);
                ++typed;
                GLib.timeout_add(GLib.PRIORITY_LOW, KEY_INTERVAL_MS, () => {
                    next();
                    return GLib.SOURCE_REMOVE;
                });
            };
            next();
        });
    }
}

function init() {
    return new QuillpostService();
}
