#include "x11_keymap.h"
#include "x11_error_trap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>

namespace quillpost::x11 {

static_assert(std::is_same_v<KeySym, KeySymbol> && NoSymbol == 0);

namespace {

struct DeviceListDeleter
{
    void operator()(XDeviceInfo *p) const { XFreeDeviceList(p); }
};

// XKB's names for the keys of the typewriter block: rows E to B, the tilde key, the backslash
// key, the extra key beside the left Shift, and space.
bool isTypewriterKey(std::string_view name)
{
    constexpr std::array kSingles = { "TLDE", "BKSL", "LSGT", "SPCE" };
    if (name.size() == 4 && name[0] == 'A' && std::string_view("EDCB").find(name[1]) != name.npos
        && name[2] >= '0' && name[2] <= '1' && name[3] >= '0' && name[3] <= '9')
        return true;
    return std::find(kSingles.begin(), kSingles.end(), name) != kSingles.end();
}

} // namespace

void KeymapDeleter::operator()(_XkbDesc *map) const
{
    XkbFreeKeyboard(map, 0, True);
}

Devices keyboardDevices(Display *d)
{
    Devices found { XkbUseCoreKbd, {} };
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(d, "XInputExtension", &opcode, &event, &error))
        return found;
    int count = 0;
    std::unique_ptr<XDeviceInfo, DeviceListDeleter> list(XListInputDevices(d, &count));
    bool exact = false;
    for (int i = 0; list && i < count; ++i) {
        const XDeviceInfo &device = list.get()[i];
        if (device.use != IsXExtensionKeyboard || !device.name)
            continue;
        found.keyboards.push_back(static_cast<unsigned>(device.id));
        const std::string_view name = device.name;
        // With several master keyboards each has an XTEST device; the core one is ours.
        if (name == "Virtual core XTEST keyboard") {
            found.xtest = static_cast<unsigned>(device.id);
            exact = true;
        } else if (!exact && name.ends_with(" XTEST keyboard")) {
            found.xtest = static_cast<unsigned>(device.id);
        }
    }
    return found;
}

Keymap readKeymap(Display *d, unsigned device, unsigned parts)
{
    ErrorTrap trap(d);
    Keymap map(XkbGetMap(d, parts, device));
    if (trap.failed())
        return nullptr;
    return map;
}

Result<Keyboard> readKeyboard(Display *d, const Devices &devices)
{
    int opcode = 0, event = 0, error = 0;
    int major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(d, &opcode, &event, &error, &major, &minor))
        return Error { ErrorKind::Typing, "The display has no keyboard extension (XKB)." };

    constexpr unsigned kParts = XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask
        | XkbModifierMapMask | XkbVirtualModsMask;
    Keyboard keyboard;
    keyboard.device = devices.xtest;
    keyboard.map = readKeymap(d, devices.xtest, kParts);
    if (!keyboard.map && devices.xtest != XkbUseCoreKbd) {
        keyboard.device = XkbUseCoreKbd;
        keyboard.map = readKeymap(d, XkbUseCoreKbd, kParts);
    }
    if (!keyboard.map || !keyboard.map->map || !keyboard.map->map->modmap)
        return Error { ErrorKind::Typing, "The keyboard map could not be read from the display." };

    XkbDescPtr xkb = keyboard.map.get();
    for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc)
        keyboard.groups = std::max(keyboard.groups, static_cast<int>(XkbKeyNumGroups(xkb, kc)));
    XkbStateRec state {};
    XkbGetState(d, XkbUseCoreKbd, &state);
    keyboard.group = std::clamp(static_cast<int>(state.locked_group), 0, keyboard.groups - 1);

    keyboard.typewriter.assign(xkb->max_key_code + 1u, false);
    {
        ErrorTrap trap(d);
        if (XkbGetNames(d, XkbKeyNamesMask | XkbKeyTypeNamesMask, xkb) == Success && !trap.failed()
            && xkb->names && xkb->names->keys) {
            for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
                const char *name = xkb->names->keys[kc].name;
                keyboard.typewriter[kc]
                    = isTypewriterKey(std::string_view(name, strnlen(name, XkbKeyNameLength)));
            }
        }
    }
    return keyboard;
}

std::optional<int> keyGroup(XkbDescPtr xkb, unsigned kc, int group)
{
    const int groups = XkbKeyNumGroups(xkb, kc);
    if (groups == 0)
        return std::nullopt;
    if (group < groups)
        return group;
    const unsigned info = XkbKeyGroupInfo(xkb, kc);
    switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange:
        return groups - 1;
    case XkbRedirectIntoRange: {
        const int target = XkbOutOfRangeGroupNumber(info);
        return target < groups ? target : 0;
    }
    default:
        return group % groups;
    }
}

int levelFor(XkbDescPtr xkb, unsigned kc, int keyGroup, unsigned state)
{
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, keyGroup);
    const unsigned relevant = state & type->mods.mask;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec &entry = type->map[i];
        if (entry.active && entry.mods.mask == relevant)
            return entry.level;
    }
    return 0;
}

std::vector<unsigned> statesFor(XkbDescPtr xkb, unsigned kc, int keyGroup, int level)
{
    std::vector<unsigned> states;
    if (level == 0)
        states.push_back(0);
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, keyGroup);
    for (int i = 0; i < type->map_count; ++i) {
        if (type->map[i].active && type->map[i].level == level)
            states.push_back(type->map[i].mods.mask);
    }
    std::stable_sort(states.begin(), states.end(),
        [](unsigned a, unsigned b) { return std::popcount(a) < std::popcount(b); });
    return states;
}

namespace {

const XkbAction *actionAt(XkbDescPtr xkb, unsigned kc, int keyGroup, int level)
{
    if (!XkbKeyHasActions(xkb, kc))
        return nullptr;
    return XkbKeyActionEntry(xkb, kc, level, keyGroup);
}

} // namespace

bool actsAt(XkbDescPtr xkb, unsigned kc, int keyGroup, int level)
{
    const XkbAction *action = actionAt(xkb, kc, keyGroup, level);
    return action && action->type != XkbSA_NoAction;
}

unsigned modifiersSetBy(XkbDescPtr xkb, unsigned kc, int keyGroup, int level)
{
    const XkbAction *action = actionAt(xkb, kc, keyGroup, level);
    if (!action || action->type != XkbSA_SetMods)
        return 0;
    if (action->mods.flags & XkbSA_UseModMapMods)
        return xkb->map->modmap[kc];
    unsigned mask = action->mods.real_mods;
    const unsigned virtualMods = XkbModActionVMods(&action->mods);
    for (int i = 0; i < XkbNumVirtualMods; ++i) {
        if (virtualMods & (1u << i))
            mask |= xkb->server->vmods[i];
    }
    return mask;
}

} // namespace quillpost::x11
