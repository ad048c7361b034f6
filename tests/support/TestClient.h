#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct xcb_connection_t;

namespace tarnwick::test {

// Another client of the test's X server: plays input through XTest, as a
// real device would, and holds windows and grabs of its own.
class TestClient {
public:
    static std::unique_ptr<TestClient> connect(const std::string& display);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    // Absolute pointer motion to a root-window pixel; unlike a warp it
    // produces raw motion.
    void moveTo(int x, int y);
    void button(int number, bool down);
    void key(std::uint8_t keycode, bool down);
    // Press and release keycode with the modifier keys held around it.
    void chord(std::initializer_list<std::uint8_t> modifierKeys, std::uint8_t keycode);
    // Waits until the server has handled everything sent so far.
    void sync();

    // A window covering the root that selects pointer motion itself.
    void coverScreenWithMotionWindow();
    bool grabPointer();
    // A passive key grab on the root; the X error code, 0 on success.
    int grabKey(std::uint8_t keycode, std::uint16_t modifiers);
    void ungrabKey(std::uint8_t keycode, std::uint16_t modifiers);

private:
    explicit TestClient(xcb_connection_t* c);
    xcb_connection_t* m_c;
    std::uint32_t m_root;
    std::uint32_t m_window = 0;
};

} // namespace tarnwick::test
