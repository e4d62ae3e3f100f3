// The switcher on other keyboard layouts: the search types what the keys type in the active
// layout group, and the key left of 1 is the grave shortcut wherever it sits.
#include <xkbcommon/xkbcommon-x11.h>

#include "tests/e2e/SwitcherE2eFixture.h"

namespace zumo::e2e {
namespace {

// A key press that types one character on the layout now active: the key, and whether Shift.
struct Stroke {
    xcb_keycode_t key = 0;
    bool shift = false;
};

class LayoutsE2e : public SwitcherE2e {
  protected:
    void TearDown() override
    {
        if (x)
            x->setLayout(QStringLiteral("us"));
        SwitcherE2e::TearDown();
    }

    // The key (and Shift) that types `character` in the active group, read with xkbcommon from
    // the server's keymap as it is now.
    std::optional<Stroke> strokeFor(char32_t character)
    {
        xcb_connection_t* c = x->connection();
        const std::int32_t device = xkb_x11_get_core_keyboard_device_id(c);
        const std::shared_ptr<xkb_context> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
        const std::shared_ptr<xkb_keymap> keymap(
            xkb_x11_keymap_new_from_device(context.get(), c, device, XKB_KEYMAP_COMPILE_NO_FLAGS), xkb_keymap_unref);
        if (!xkbReady() || !keymap)
            return std::nullopt;
        const std::shared_ptr<xkb_state> state(xkb_x11_state_new_from_device(keymap.get(), c, device), xkb_state_unref);
        for (xkb_keycode_t key = 8; key < 256; ++key) {
            for (xkb_level_index_t level = 0; level < 2; ++level) {
                const xkb_keysym_t* syms = nullptr;
                if (xkb_keymap_key_get_syms_by_level(keymap.get(), key, xkb_state_key_get_layout(state.get(), key),
                                                     level, &syms) > 0 &&
                    xkb_keysym_to_utf32(syms[0]) == character)
                    return Stroke{xcb_keycode_t(key), level == 1};
            }
        }
        return std::nullopt;
    }

    bool type(const Stroke& stroke)
    {
        return (!stroke.shift || x->keyDown(XK_Shift_L)) && x->fakeCode(XCB_KEY_PRESS, stroke.key) &&
               x->fakeCode(XCB_KEY_RELEASE, stroke.key) && (!stroke.shift || x->keyUp(XK_Shift_L));
    }

    bool typeSearch(const QString& query)
    {
        return std::ranges::all_of((QStringLiteral("/") + query).toUcs4(), [&](char32_t character) {
            const auto stroke = strokeFor(character);
            return stroke && type(*stroke);
        });
    }

  private:
    bool xkbReady()
    {
        if (!xkbUsed)
            xkbUsed = xkb_x11_setup_xkb_extension(x->connection(), XKB_X11_MIN_MAJOR_XKB_VERSION,
                                                  XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                                  nullptr, nullptr, nullptr, nullptr);
        return xkbUsed;
    }
    bool xkbUsed = false;
};

struct LayoutCase {
    const char* layout;
    int group;
    const char* query; // UTF-8
    const char* match; // the only window whose title it picks first
};

// Each query is what the same physical keys would not type on a US layout.
const LayoutCase LayoutCases[] = {
    {"ru", 0, "мос", "Москва"},   {"gr", 0, "αθ", "Αθήνα"}, {"cz", 0, "ě", "Děčín"},
    {"us,ru", 1, "тул", "Тула"},  {"de", 0, "zu", "Zulu radio"}, {"fr", 0, "al", "Alpha notes"},
    {"es", 0, "ñ", "España"},
};

// One zumo through every layout: the search first, then the key left of 1.
TEST_F(LayoutsE2e, theSearchTypesWhatTheKeysTypeAndTheKeyLeftOfOneSwitchesWithinTheApp)
{
    auto echo = std::make_unique<TestClient>();
    ASSERT_TRUE(echo->start({QStringLiteral("Echo one"), QStringLiteral("Echo two")}, QStringLiteral("Echo")));
    for (const auto& window : echo->windows()) {
        x->watch(window.id);
        ids[window.title] = window.id;
    }
    clients.push_back(std::move(echo));
    QStringList titles = {Bravo};
    for (const LayoutCase& row : LayoutCases)
        titles.prepend(QString::fromUtf8(row.match));
    ASSERT_NO_FATAL_FAILURE(openWindows(titles));
    ASSERT_NO_FATAL_FAILURE(startZumo(ShowAtOnce));

    for (const LayoutCase& row : LayoutCases) {
        SCOPED_TRACE(row.layout);
        const QString match = QString::fromUtf8(row.match);
        ASSERT_TRUE(x->setLayout(QString::fromLatin1(row.layout), row.group));
        ASSERT_TRUE(settle());
        ASSERT_TRUE(openPanel());
        EXPECT_TRUE(search([&] { return typeSearch(QString::fromUtf8(row.query)); }))
            << "the list was not filtered";
        ASSERT_TRUE(x->tap(XK_Return));
        EXPECT_TRUE(waitActive(match)) << "active: " << activeTitle().toStdString();
        ASSERT_TRUE(x->keyUp(XK_Alt_L));
        ASSERT_TRUE(waitPanelHidden());
        // The next run starts from the same window in front. Zumo reads the active window when it
        // gets to the change: without the sync, activations in quick succession after this one
        // could reach it as one, and Bravo's use would be lost.
        ASSERT_TRUE(activate(Bravo));
        ASSERT_TRUE(settle());
    }

    const Stroke leftOfOne{49}; // ^ on German, ² on French, º on Spanish keyboards
    for (const char* layout : {"de", "fr", "es"}) {
        SCOPED_TRACE(layout);
        ASSERT_TRUE(activate(QStringLiteral("Echo one")));
        ASSERT_TRUE(activate(QStringLiteral("Echo two")));
        ASSERT_TRUE(x->setLayout(QString::fromLatin1(layout)));
        ASSERT_TRUE(settle());

        // Alt and the key left of 1: the app's other window.
        ASSERT_TRUE(x->keyDown(XK_Alt_L) && type(leftOfOne) && x->keyUp(XK_Alt_L));
        EXPECT_TRUE(waitActive(QStringLiteral("Echo one"))) << "active: " << activeTitle().toStdString();

        // In an open run the same key moves on like Tab: the third window by recency.
        ASSERT_TRUE(x->keyDown(XK_Alt_L) && x->tap(XK_Tab) && type(leftOfOne) && x->keyUp(XK_Alt_L));
        EXPECT_TRUE(waitActive(Bravo)) << "active: " << activeTitle().toStdString();
    }
}

} // namespace
} // namespace zumo::e2e
