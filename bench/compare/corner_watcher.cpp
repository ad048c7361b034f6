// The floor for corners: about the least an XInput2 corner watcher can do.
// Every raw motion event queries the pointer; entering the top-right square
// (6 px) runs `/bin/zsh -lc <command>`. Prints "ready" once it listens.
// Usage: tarnwick_corner_watcher <command>   (DISPLAY from the environment)
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

int main(int argc, char* argv[]) {
    if (argc != 2) {
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const auto* xi =
        xcb_connection_has_error(c) == 0 ? xcb_get_extension_data(c, &xcb_input_id) : nullptr;
    if (xi == nullptr || xi->present == 0) {
        std::fputs("tarnwick_corner_watcher: no X server with XInput\n", stderr);
        return 1;
    }
    // Raw events reach a root window from XInput 2.2 on.
    std::free(xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
    xcb_input_xi_select_events(c, screen->root, 1, &mask.head);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    std::puts("ready");
    std::fflush(stdout);

    const int edge = screen->width_in_pixels - 1 - 6;
    char zsh[] = "/bin/zsh", login[] = "-lc";
    char* run[] = {zsh, login, argv[1], nullptr};
    bool inside = false;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        std::free(event);
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        auto* pointer = xcb_query_pointer_reply(c, xcb_query_pointer(c, screen->root), nullptr);
        if (pointer == nullptr) {
            continue;
        }
        const bool now = pointer->root_x >= edge && pointer->root_y <= 6;
        std::free(pointer);
        pid_t pid = 0;
        if (now && !inside) {
            posix_spawn(&pid, zsh, nullptr, nullptr, run, environ);
        }
        inside = now;
    }
    return 0;
}
