#pragma once

#include "services/PointerSource.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace tarnwick::test {

// A desktop whose pointer and screens the test sets by hand; moveTo() plays
// one pointer-moved notification. Moving allocates nothing, so benchmarks can
// count the monitor's own allocations.
class FakePointerSource final : public PointerSource {
public:
    std::optional<Point> position;
    std::vector<Rect> screens;
    bool buttonHeld = false;

    std::optional<HandlerId> addPointerMovedHandler(std::function<void()> handler) override {
        const HandlerId id = m_nextId++;
        m_handlers.emplace_back(id, std::move(handler));
        return id;
    }

    void removePointerMovedHandler(HandlerId id) override {
        // Emptied in place rather than erased, so removal during a notification is safe.
        for (auto& [handlerId, handler] : m_handlers) {
            if (handlerId == id) {
                handler = nullptr;
            }
        }
    }

    std::optional<Point> pointerLocation() override { return position; }
    bool dragging() override { return buttonHeld; }

    std::span<const Rect> screenFrames() override { return screens; }

    void moveTo(Point p) {
        position = p;
        notify();
    }

    void notify() {
        for (std::size_t i = 0; i < m_handlers.size(); ++i) {
            if (m_handlers[i].second) {
                m_handlers[i].second();
            }
        }
    }

    std::size_t liveHandlers() const {
        return static_cast<std::size_t>(
            std::ranges::count_if(m_handlers, [](const auto& entry) { return !!entry.second; }));
    }

private:
    std::vector<std::pair<HandlerId, std::function<void()>>> m_handlers;
    HandlerId m_nextId = 1;
};

} // namespace tarnwick::test
