#include "platform/x11/Display.h"

#include "platform/x11/EventListener.h"
#include "platform/x11/Logging.h"

#include <cstdlib>
#include <memory>
#include <utility>

namespace tarnwick::x11 {

Q_LOGGING_CATEGORY(lcX11, "tarnwick.x11", QtWarningMsg)

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

} // namespace

Display::Opened Display::open(const std::string& name) {
    const char* requested = name.empty() ? std::getenv("DISPLAY") : name.c_str();
    if (requested == nullptr || *requested == '\0') {
        return {nullptr, "no X display: DISPLAY is not set"};
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(requested, &screenNumber);
    if (const int error = xcb_connection_has_error(connection); error != 0) {
        xcb_disconnect(connection);
        return {nullptr, std::string("cannot connect to X display ") + requested};
    }
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && roots.rem > 0; ++i) {
        xcb_screen_next(&roots);
    }
    if (roots.rem == 0) {
        xcb_disconnect(connection);
        return {nullptr, std::string("X display ") + requested + " has no such screen"};
    }
    return {std::unique_ptr<Display>(new Display(connection, roots.data->root, requested)), {}};
}

Display::Display(xcb_connection_t* connection, std::uint32_t root, std::string name)
    : m_connection(connection), m_root(root), m_name(std::move(name)) {}

Display::~Display() {
    xcb_disconnect(m_connection);
}

int Display::fileDescriptor() const {
    return xcb_get_file_descriptor(m_connection);
}

void Display::sync() {
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

bool Display::connectionLost() const {
    return xcb_connection_has_error(m_connection) != 0;
}

void Display::addListener(EventListener& listener) {
    m_listeners.push_back(&listener);
}

void Display::removeListener(EventListener& listener) {
    std::erase(m_listeners, &listener);
}

void Display::processEvents() {
    process(true);
}

void Display::processQueued() {
    process(false);
}

void Display::process(bool readSocket) {
    drain(readSocket);
    // Once even without events: a reply may have come. Batch-end work may
    // make round trips whose replies queue more events: another batch.
    do {
        for (std::size_t i = 0; i < m_listeners.size(); ++i) {
            m_listeners[i]->endOfBatch();
        }
    } while (drain(false));
}

bool Display::drain(bool readSocket) {
    bool any = false;
    for (;;) {
        std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(
            readSocket ? xcb_poll_for_event(m_connection)
                       : xcb_poll_for_queued_event(m_connection));
        if (!event) {
            return any;
        }
        any = true;
        if (event->response_type == 0) {
            // An unchecked request failed; nobody waits for its answer.
            const auto& error = reinterpret_cast<const xcb_generic_error_t&>(*event);
            qCWarning(lcX11, "X error %d on request %d.%d", error.error_code, error.major_code,
                      error.minor_code);
        }
        // By index: the list may grow while an event is handled.
        for (std::size_t i = 0; i < m_listeners.size(); ++i) {
            m_listeners[i]->handleEvent(*event);
        }
    }
}

} // namespace tarnwick::x11
