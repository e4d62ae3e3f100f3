// X key events to the switcher's key codes, flags and characters, shortcuts to grabs, and which time
// a request the user caused carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "desktop/x11/InputTime.h"
#include "desktop/x11/KeyTranslation.h"
#include "platform/KeyCodes.h"

namespace zumo::x11 {
namespace {

// Keysyms and keycodes of a US "pc105" keyboard, as the X server maps them.
constexpr Keysym Tab = 0xff09, IsoLeftTab = 0xfe20, ShiftL = 0xffe1, ShiftR = 0xffe2, AltL = 0xffe9,
                 AltR = 0xffea;
constexpr Keycode KcTab = 23, KcShiftL = 50, KcShiftR = 62, KcAltL = 64, KcAltR = 108, KcA = 38, KcB = 56,
                  KcCaps = 66;

// Two keycodes a row: Shift, Lock (Caps), Control, Mod1 (both Alts), Mod2 (Num Lock), Mod3, Mod4 (Super).
const std::vector<Keycode> UsModmap{KcShiftL, KcShiftR, KcCaps, 0, 0, 0, KcAltL, KcAltR, 0, 77, 0, 0, 133, 0, 0, 0};

ModifierKeys usKeyboard()
{
    ModifierKeys down;
    down.setKeyFlags(keyFlagsFromModifierMap(UsModmap, 2));
    return down;
}

TEST(KeyTranslation, keysThatShareACodeAndKeysWithoutOneStayApart)
{
    // Shift+Tab types ISO_Left_Tab on most layouts, and the keypad has its own Enter.
    EXPECT_EQ(keyCodeFor(IsoLeftTab, KcTab), keys::Tab);
    EXPECT_EQ(keyCodeFor(0xff8d, 104), keys::Return);

    // Other keys are outside every named code and stay apart from each other.
    const std::set<std::int64_t> named = {keys::Tab,    keys::Grave,  keys::Section, keys::Space,
                                          keys::Return, keys::Escape, keys::Delete,  keys::Left,
                                          keys::Right,  keys::Down,   keys::Up};
    const std::int64_t a = keyCodeFor('a', KcA);
    const std::int64_t b = keyCodeFor('b', KcB);
    EXPECT_NE(a, b);
    EXPECT_FALSE(named.contains(a));
    EXPECT_FALSE(named.contains(keyCodeFor(0xffbe /* F1 */, 8)));
    EXPECT_FALSE(named.contains(keyCodeFor(0, 255)));
}

TEST(KeyTranslation, theKeyLeftOfOneIsGraveOnEveryLayoutAndShortcutsGrabTheKeysThatTranslateToThem)
{
    // A German keyboard: the key left of 1 types a dead circumflex, § is Shift+3, and no key
    // types a plain grave unshifted.
    constexpr Keysym DeadCircumflex = 0xfe52;
    constexpr Keycode KcSpace = 65, KcRightOfP = 34;
    const std::map<Keycode, Keysym> keysyms = {
        {GraveKeycode, DeadCircumflex}, {KcTab, Tab}, {KcSpace, ' '}, {KcRightOfP, 0xfc /* ü */}, {KcA, 'a'}};
    const auto german = [&keysyms](Keycode key) { return keysyms.contains(key) ? keysyms.at(key) : 0; };
    // LayoutsE2e proves the dead keys left of 1 on real layouts, KeyboardHookTest a § no key types
    // and the shortcuts' names in its log lines.
    EXPECT_EQ(keyCodeFor(0xa7 /* § */, GraveKeycode), keys::Grave);
    EXPECT_NE(keyCodeFor('`', KcRightOfP), keys::Grave) << "grave is a key position, not what it types";
    EXPECT_EQ(keycodesForKeyCode(keys::Grave, 8, 255, german), std::vector<Keycode>{GraveKeycode});
    EXPECT_EQ(keycodesForKeyCode(keys::Space, 8, 255, german), std::vector<Keycode>{KcSpace});
    EXPECT_TRUE(keycodesForKeyCode(keys::Return, 8, 255, german).empty()) << "not a shortcut key";
    EXPECT_EQ(xModifiersForMask(keys::Shift | keys::Command), 0);
}

// Shift, Caps Lock and Num Lock on Mod2 are SwitcherE2e's (Shift+Tab, the lock keys on).
TEST(KeyTranslation, grabsCoverNumLockOnAnotherBitNotMappedOrOnTheShortcutsOwn)
{
    EXPECT_TRUE(std::ranges::count(grabVariants(xmask::Control, 0x80), xmask::Control | xmask::Lock | 0x80));
    EXPECT_EQ(grabVariants(xmask::Mod1, 0).size(), 4u);
    EXPECT_EQ(grabVariants(xmask::Mod1, xmask::Mod1).size(), 4u);
}

TEST(KeyTranslation, numLockBitComesFromTheModifierMapping)
{
    std::vector<Keycode> modmap = UsModmap;
    const Keycode numLock[] = {77};
    EXPECT_EQ(modifierMaskOfKeys(modmap, 2, numLock), xmask::Mod2);
    modmap[9] = 0;
    EXPECT_EQ(modifierMaskOfKeys(modmap, 2, numLock), 0);
    modmap[14] = 77; // Mod5
    EXPECT_EQ(modifierMaskOfKeys(modmap, 2, numLock), 0x80);
    EXPECT_EQ(modifierMaskOfKeys(modmap, 0, numLock), 0);
    EXPECT_EQ(modifierMaskOfKeys(std::span<const Keycode>(modmap).first(3), 2, numLock), 0);
}

TEST(KeyTranslation, modifierKeysReportTheFlagsAfterTheEventWhileEitherOfTheirKeysIsDown)
{
    struct Step {
        XKey key;
        std::uint64_t flags;
    };
    const Step steps[] = {
        {{KcAltL, AltL, 0, true}, keys::Option},
        {{KcShiftL, ShiftL, xmask::Mod1, true}, keys::Option | keys::Shift},
        {{KcShiftL, ShiftL, xmask::Mod1 | xmask::Shift, false}, keys::Option},
        {{KcAltR, AltR, xmask::Mod1, true}, keys::Option},
        {{KcAltL, AltL, xmask::Mod1, false}, keys::Option},
        {{KcAltR, AltR, xmask::Mod1, false}, 0},
        {{KcShiftL, ShiftL, 0, true}, keys::Shift},
        {{KcShiftR, ShiftR, xmask::Shift, true}, keys::Shift},
        {{KcShiftR, ShiftR, xmask::Shift, false}, keys::Shift},
    };
    ModifierKeys down = usKeyboard();
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const XKey& key = steps[i].key;
        key.press ? down.press(key.keycode) : down.release(key.keycode);
        const KeyEvent e = translateKey(key, down);
        EXPECT_EQ(e.type, KeyEventType::FlagsChanged);
        EXPECT_EQ(e.flags, steps[i].flags);
        EXPECT_TRUE(e.characters.isEmpty());
    }
}

TEST(KeyTranslation, charactersIgnoreModifiersAndAreLowerCase)
{
    // One of each kind: Latin-1 upper case, a Unicode keysym, the legacy keysyms of the Russian,
    // Greek and Czech layouts, a keypad digit, keys that type nothing, a keysym naming a
    // surrogate half and one outside Unicode.
    const std::pair<Keysym, const char16_t*> kinds[] = {
        {'A', u"a"},      {0xc4, u"ä"},   {0x1000419, u"й"},  {0x6cd, u"м"}, {0x7c1, u"α"},
        {0x1ec, u"ě"},    {0xffb1, u"1"}, {Tab, u""},         {0xff0d, u""}, {0xff9c /* KP_End */, u""},
        {0x100d800, u""}, {0x2000041, u""},
    };
    for (const auto& [keysym, text] : kinds)
        EXPECT_EQ(charactersFor(keysym), QString::fromUtf16(text)) << std::hex << keysym;
    EXPECT_EQ(charactersFor(0x101f600).size(), 2); // outside the BMP: a surrogate pair

    // A keypad key types its digit with Num Lock off too; Shift picks level 1 where it types
    // something (the Russian "/" is Shift with the backslash key, the French "1" Shift+&).
    EXPECT_EQ(charactersFor(0xff9c, 0xffb1, false), QStringLiteral("1"));
    EXPECT_EQ(charactersFor(0x6cd, 0x6ed, false), QStringLiteral("м"));
    EXPECT_EQ(charactersFor('\\', '/', true), QStringLiteral("/"));
    EXPECT_EQ(charactersFor('&', '1', false), QStringLiteral("&"));
    EXPECT_EQ(charactersFor(Tab, IsoLeftTab, true), QString());
}

TEST(KeyTranslation, keymapAndStateBitsSayWhichModifiersAreHeldAndLocksAreIgnored)
{
    ModifierKeys down = usKeyboard();
    std::array<std::uint8_t, 32> keymap{};
    keymap[KcAltR / 8] |= std::uint8_t(1u << (KcAltR % 8));
    keymap[KcA / 8] |= std::uint8_t(1u << (KcA % 8));
    down.press(KcShiftL); // forgotten: the keymap replaces what was tracked
    down.setFromKeymap(keymap);
    EXPECT_EQ(down.held(), keys::Option);
    // Super is Command; the lock keys on their rows are no modifiers (Shift and Alt: the steps above).
    keymap = {};
    for (const Keycode key : {Keycode(133), KcCaps, Keycode(77)})
        keymap[key / 8] |= std::uint8_t(1u << (key % 8));
    down.setFromKeymap(keymap);
    EXPECT_EQ(down.held(), keys::Command);
    EXPECT_EQ(keyFlagsFromModifierMap(UsModmap, 0)[KcAltL], 0u);

    // An event's state bits: locks are ignored.
    EXPECT_EQ(flagsFromState(xmask::Lock | xmask::Mod2 | 0x20 | 0x80), 0u);
    EXPECT_EQ(flagsFromState(0xff), keys::Shift | keys::Control | keys::Option | keys::Command);
}

using Ms = std::chrono::milliseconds;

TEST(UserActionTime, theNewestFreshInputElseCurrentTime)
{
    const auto now = std::chrono::steady_clock::time_point(Ms(1'000'000));
    const auto fresh = [&](std::uint32_t time, Ms ago = Ms(5)) { return InputStamp{time, now - ago}; };
    struct Case {
        const char* what;
        std::vector<std::optional<InputStamp>> stamps;
        std::uint32_t expected;
    } cases[] = {
        {"no input seen", {std::nullopt, std::nullopt}, XCB_CURRENT_TIME},
        {"the key just read", {fresh(7450718), std::nullopt}, 7450718},
        {"a later click beats the key", {fresh(7450718), fresh(7450900)}, 7450900},
        {"a key read long ago caused nothing now", {fresh(7450718, Ms(1500)), std::nullopt}, XCB_CURRENT_TIME},
        {"newer across the wrap of server time", {fresh(0xfffffff0u), fresh(0x10)}, 0x10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(userActionTime(c.stamps, now), c.expected) << c.what;
}

} // namespace
} // namespace zumo::x11
