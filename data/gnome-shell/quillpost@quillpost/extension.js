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

// A key that has not reached the window in this long (between one and two of these) never will.
const KEY_PATIENCE_MS = 5000;
// How long the Shell keeps the keyboard after the last key it took, for that key's release, and
// at most.
const RELEASE_MS = 50;
const HOLD_MS = 1000;

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
    <!-- Presses each keysym while the window has the keyboard; how many it pressed. The keysyms
         were checked against the layout Layout gave; when another is in effect now, nothing is
         pressed and the answer is the error org.quillpost.Shell.LayoutChanged -->
    <method name="Type">
      <arg name="window" type="t" direction="in"/>
      <arg name="layout" type="(sssu)" direction="in"/>
      <arg name="keysyms" type="au" direction="in"/>
      <arg name="typed" type="u" direction="out"/>
    </method>
    <signal name="Closed"><arg name="window" type="t"/></signal>
  </interface>
</node>`;

// Unique bus names are never given out twice, so a caller once found to be Quillpost stays so.
const quillpostCallers = new Set();

function callerIsQuillpost(invocation, then) {
    const sender = invocation.get_sender();
    const answer = () => {
        try {
            then();
        } catch (e) {
            // Quillpost would otherwise wait for an answer that never comes.
            invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed', `${e}`);
        }
    };
    if (quillpostCallers.has(sender)) {
        answer();
        return;
    }
    Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
        'org.freedesktop.DBus', 'GetConnectionUnixProcessID',
        new GLib.Variant('(s)', [sender]), new GLib.VariantType('(u)'),
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
            quillpostCallers.add(sender);
            answer();
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
        const seat = defaultSeat();
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
            invocation.return_value(new GLib.Variant('(sssu)', currentLayout()));
        });
    }

    TypeAsync([id, layout, keysyms], invocation) {
        callerIsQuillpost(invocation, () => {
            if (currentLayout().some((part, i) => part !== layout[i])) {
                invocation.return_dbus_error('org.quillpost.Shell.LayoutChanged',
                    'The keyboard layout changed after Quillpost read it.');
                return;
            }
            const w = this._window(id);
            const done = typed => invocation.return_value(new GLib.Variant('(u)', [typed]));
            if (w === undefined)
                done(0);
            else
                new Typing(this, w, keysyms, done).start();
        });
    }
}

// One line's keys, all sent at once: a key counts as typed when mutter, handling it, marks the
// window's user time. Should the window lose the keyboard, the Shell takes it at that moment, so
// the keys still on their way reach no window; they count as not typed, and the client gets them
// when the send goes on.
class Typing {
    constructor(service, window, keysyms, done) {
        this._service = service;
        this._window = window;
        this._done = done;
        this._typed = 0;
        this._held = 0; // keys taken from the window that took the keyboard
        this._hold = null;
        // Caps Lock turns a letter's case around; the opposite case comes out right.
        const capsLock = defaultSeat().get_keymap().get_caps_lock_state();
        this._wanted = keysyms;
        this._sent = keysyms.map(k => capsLock ? otherCase(k) : k);
        this._watches = [
            [window, window.connect('notify::user-time', () => this._arrived())],
            [window, window.connect('unmanaged', () => this._lost())],
            [global.display, global.display.connect('notify::focus-window', () => this._lost())],
            [global.stage, global.stage.connect('notify::key-focus', () => this._lost())],
        ];
        // Only a key mutter could not map fails to come back; the line stops there.
        let seen = -1;
        this._watchdog = GLib.timeout_add(GLib.PRIORITY_DEFAULT, KEY_PATIENCE_MS, () => {
            if (this._typed + this._held === seen) {
                this._watchdog = 0;
                this._finish();
                return GLib.SOURCE_REMOVE;
            }
            seen = this._typed + this._held;
            return GLib.SOURCE_CONTINUE;
        });
    }

    start() {
        if (!this._service._hasKeyboard(this._window.get_id())) {
            this._finish();
            return;
        }
        const time = GLib.get_monotonic_time();
        const keyboard = this._service._keyboard;
        for (const keysym of this._sent) {
            keyboard.notify_keyval(time, keysym, Clutter.KeyState.PRESSED);
            keyboard.notify_keyval(time, keysym, Clutter.KeyState.RELEASED);
        }
    }

    // Runs inside mutter's handling of a key press, before the window gets it. The Shift that
    // mutter presses for a capital comes this way too, and a key of the player's own.
    _arrived() {
        const event = Clutter.get_current_event();
        if (this._hold !== null || event === null ||
            event.type() !== Clutter.EventType.KEY_PRESS ||
            event.get_key_symbol() !== this._wanted[this._typed])
            return;
        if (++this._typed === this._wanted.length)
            this._finish();
    }

    // Runs as the focus moves, before another key is handled: the keys still on their way go to
    // a grab of ours instead of the window that took the keyboard, until the last has come.
    _lost() {
        if (this._hold !== null || this._done === null ||
            this._service._hasKeyboard(this._window.get_id()))
            return;
        const actor = new Clutter.Actor({ reactive: true });
        global.stage.add_child(actor);
        actor.connect('key-press-event', (_, event) => {
            if (event.get_key_symbol() === this._wanted[this._typed + this._held] &&
                ++this._held + this._typed === this._wanted.length) {
                // Its release, and mutter's release of Shift, come next.
                GLib.timeout_add(GLib.PRIORITY_DEFAULT, RELEASE_MS, () => {
                    this._finish();
                    return GLib.SOURCE_REMOVE;
                });
            }
            return Clutter.EVENT_STOP;
        });
        // Marked held first: taking the grab may move the key focus, which calls here again.
        this._hold = { actor, grab: null };
        this._hold.grab = global.stage.grab(actor);
        // The player's own keys go nowhere meanwhile: not for long, whatever did not come.
        GLib.timeout_add(GLib.PRIORITY_DEFAULT, HOLD_MS, () => {
            this._finish();
            return GLib.SOURCE_REMOVE;
        });
    }

    _finish() {
        if (this._done === null)
            return;
        if (this._watchdog !== 0)
            GLib.source_remove(this._watchdog);
        for (const [object, id] of this._watches)
            object.disconnect(id);
        if (this._hold !== null) {
            this._hold.grab?.dismiss();
            this._hold.actor.destroy();
        }
        this._done(this._typed);
        this._done = null;
    }
}

// Later Shells reach the seat through the stage's context only.
function defaultSeat() {
    const backend = global.stage.get_context?.().get_backend() ?? Clutter.get_default_backend();
    return backend.get_default_seat();
}

function currentLayout() {
    const manager = KeyboardManager.getKeyboardManager();
    const keymap = manager._currentKeymap;
    const group = manager.currentLayout?.groupIndex ?? 0;
    return keymap
        ? [keymap.layouts, keymap.variants, keymap.options, group]
        : [KeyboardManager.DEFAULT_LAYOUT, '', '', 0];
}

function otherCase(keysym) {
    const c = String.fromCodePoint(Clutter.keysym_to_unicode(keysym));
    const other = c === c.toUpperCase() ? c.toLowerCase() : c.toUpperCase();
    return other === c ? keysym : Clutter.unicode_to_keysym(other.codePointAt(0));
}

function init() {
    return new QuillpostService();
}
