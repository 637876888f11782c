// Watches analytics events: listens on 127.0.0.1, answers every batch and prints
// each decoded record as one line of JSON on standard output.
//
//   analytics-collector [--port N] [--status CODE]
#include <json/writer.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "analytics_collector/collector_server.h"

namespace {

int Usage() {
    std::cerr << "usage: analytics-collector [--port N] [--status CODE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    int status = 200;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) return Usage();
        if (option == "--port") {
            port = std::atoi(argv[++i]);
        } else if (option == "--status") {
            status = std::atoi(argv[++i]);
        } else {
            return Usage();
        }
    }

    // Block the stop signals before any thread starts, then wait for one here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    analytics_collector::CollectorServer server(port);
    if (!server.bound()) {
        std::cerr << "analytics-collector: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    server.SetDefaultReply(analytics_collector::Reply::Answer(status, status == 200 ? "ok" : "refused"));
    server.SetObserver([](const analytics_collector::ReceivedRequest& request) {
        if (!request.decodeError.empty()) {
            std::cerr << "undecodable batch on " << request.path << ": " << request.decodeError << "\n";
            return;
        }
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        writer["emitUTF8"] = true;
        std::string lines;
        for (const auto& record : request.records) lines += Json::writeString(writer, record) + "\n";
        std::cout << lines << std::flush;
    });
    std::cerr << "analytics-collector listening on " << server.Url() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}
