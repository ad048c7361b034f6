#include "support/XServer.h"

#include <cstdio>
#include <cstdlib>

namespace tarnwick::test {
namespace {

std::vector<std::string> displayEnvironment(const std::string& display) {
    const char* path = std::getenv("PATH");
    std::vector<std::string> env{std::string("PATH=") + (path != nullptr ? path : "/usr/bin:/bin")};
    if (!display.empty()) {
        env.push_back("DISPLAY=" + display);
    }
    return env;
}

} // namespace

std::unique_ptr<XServer> XServer::start(std::vector<std::string> argv,
                                        const std::string& hostDisplay) {
    // The server writes its display number to stdout once it accepts clients;
    // -noreset keeps it from restarting when its last client leaves.
    argv.insert(argv.end(), {"-displayfd", "1", "-nolisten", "tcp", "-noreset"});
    const std::string program = argv[0];
    std::unique_ptr<XServer> server(new XServer);
    server->m_process = Process::spawn(std::move(argv), displayEnvironment(hostDisplay), "/dev/null");
    const auto number = server->m_process ? server->m_process->readLine(std::chrono::seconds(20))
                                          : std::nullopt;
    if (!number || number->empty()) {
        std::fprintf(stderr, "%s did not report a display\n", program.c_str());
        return nullptr;
    }
    server->m_display = ":" + *number;
    return server;
}

std::unique_ptr<XServer> XServer::startXvfb(const std::string& screen) {
    return start({"Xvfb", "-screen", "0", screen}, {});
}

std::unique_ptr<XServer> XServer::startXephyr(const XServer& host,
                                              const std::vector<std::string>& args) {
    std::vector<std::string> argv{"Xephyr"};
    argv.insert(argv.end(), args.begin(), args.end());
    return start(std::move(argv), host.display());
}

int XServer::run(const std::string& commandLine) const {
    return Process::runToEnd({"sh", "-c", commandLine}, displayEnvironment(m_display)).exitCode;
}

} // namespace tarnwick::test
