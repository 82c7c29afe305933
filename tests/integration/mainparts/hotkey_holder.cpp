// Another X client that wants F10: it grabs the key on the root window (with
// the Lock and NumLock variants), prints "held" or "refused <X error>", and
// keeps the grab until its standard input closes; F10 is free again by the
// time it has ended.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr xcb_keysym_t kF10 = 0xFFC7;

xcb_keycode_t keycodeOf(xcb_connection_t* connection, xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr);
    xcb_keycode_t found = 0;
    if (mapping) {
        const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
        const int perCode = mapping->keysyms_per_keycode;
        for (int i = 0; perCode > 0 && i < count && found == 0; ++i)
            if (symbols[i * perCode] == keysym)
                found = static_cast<xcb_keycode_t>(setup->min_keycode + i);
        std::free(mapping);
    }
    return found;
}

} // namespace

int main()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::puts("refused no-display");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_keycode_t key = keycodeOf(connection, kF10);
    const std::uint16_t variants[]
        = { 0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2 };
    int failure = 0;
    for (const std::uint16_t modifiers : variants) {
        xcb_generic_error_t* error = xcb_request_check(connection,
            xcb_grab_key_checked(
                connection, 1, root, modifiers, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error && failure == 0)
            failure = error->error_code;
        std::free(error);
    }
    if (failure != 0) {
        std::printf("refused %d\n", failure);
        std::fflush(stdout);
        xcb_disconnect(connection);
        return 3;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) { }
    // Let go before saying so, so that the key is free once this program has
    // ended: the server notices a closed connection only some time later.
    for (const std::uint16_t modifiers : variants)
        xcb_ungrab_key(connection, key, root, modifiers);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return 0;
}
