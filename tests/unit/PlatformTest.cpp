#include "platform/QtMainQueue.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

// Quitting while commands finish on their own threads: what they post after
// the loop has ended is dropped, and nothing touches the objects quitting
// destroyed. Meant for the sanitizer builds, where a slip shows.
TEST(QtMainQueue, QuittingWhileWorkIsPostedFromOtherThreads) {
    for (int round = 0; round < 100; ++round) {
        int argc = 1;
        char name[] = "test";
        char* argv[] = {name, nullptr};
        auto app = std::make_unique<QCoreApplication>(argc, argv);
        // As in the program: never destroyed, so that late posters find it.
        static auto* const kept = new std::vector<QtMainQueue*>;
        auto* queue = kept->emplace_back(new QtMainQueue);
        auto ran = std::make_shared<std::atomic<int>>(0);
        for (int i = 0; i < 20; ++i) {
            std::thread([queue, i, ran] {
                std::this_thread::sleep_for(std::chrono::microseconds(100 * i));
                queue->post([ran] { ++*ran; });
            }).detach();
        }
        QTimer::singleShot(round % 3, app.get(), &QCoreApplication::quit);
        QCoreApplication::exec();
        queue->close();
        const int before = *ran;
        // Neither what is pending nor what comes after runs, even in a loop.
        queue->post([ran] { ++*ran; });
        QCoreApplication::processEvents();
        app.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        EXPECT_EQ(*ran, before) << "work ran after its loop had ended";
    }
}

// printf-style text is no format to the log either.
TEST(SystemLog, ALineHoldingANulOrPercentSignsIsWrittenWhole) {
    constexpr char line[] = "ran \"rm -rf ~/\0.cache/x %s%n%d\" ok=false";
    std::FILE* echo = std::tmpfile();
    SystemLog(echo).write(std::string_view(line, sizeof line - 1));
    std::rewind(echo);
    char written[200] = {};
    ASSERT_NE(std::fgets(written, sizeof written, echo), nullptr);
    std::fclose(echo);
    EXPECT_TRUE(
        std::string_view(written).ends_with(" ran \"rm -rf ~/\\0.cache/x %s%n%d\" ok=false\n"))
        << written;
}

} // namespace
} // namespace tarnwick
