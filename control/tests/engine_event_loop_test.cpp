// The lookup engine driven by a Qt event loop, as a GUI program would drive it: a socket
// notifier on its descriptor and a timer for when it must be called next, no threads.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "ombrix/lookup/lookup_engine.h"
#include "testing/query_view.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::lookup {
namespace {

using namespace std::chrono_literals;
using namespace testing;

TEST(EngineInQtLoop, EveryLookupIsAnsweredOnceOnTheLoopsThread) {
    int argc = 1;
    char program[] = "engine_event_loop_test";
    char* argv[] = {program, nullptr};
    QCoreApplication app(argc, argv);
    // Names starting "c" are answered only when asked again, so the timer has work too.
    ScriptedDnsServer server([asks = std::map<std::string, int>()](const Bytes& query,
                                                                   Responder& out) mutable {
        const auto asked = readQuery(query).name;
        if (asked.front() == 'c' && asks[asked]++ == 0) {
            return;
        }
        out.send(ReplyBuilder(asked, idOf(query)).mx(10, name("mx." + asked)).bytes());
    });

    LookupEngine engine;
    std::map<std::string, int> answered;
    const auto loopThread = std::this_thread::get_id();
    bool onLoopThread = true;
    for (const char* first : {"a", "b", "c"}) {
        for (int i = 0; i < 10; ++i) {
            LookupRequest request;
            request.server = server.setting();
            request.domain = std::string(first) + std::to_string(i) + ".example";
            request.timeout = 200ms;
            request.tries = 3;
            engine.submitMx(request, [&, domain = request.domain](MxResult&& result) {
                onLoopThread = onLoopThread && std::this_thread::get_id() == loopThread;
                if (result.outcome == Outcome::exchangers &&
                    result.exchangers.at(0).name == "mx." + domain) {
                    ++answered[domain];
                }
            });
        }
    }

    QSocketNotifier readable(engine.fd(), QSocketNotifier::Read);
    QTimer due;
    due.setSingleShot(true);
    const auto pump = [&] {
        if (const auto wait = engine.process()) {
            due.start(static_cast<int>(wait->count()));
        } else {
            app.quit();
        }
    };
    QObject::connect(&readable, &QSocketNotifier::activated, pump);
    QObject::connect(&due, &QTimer::timeout, pump);
    QTimer::singleShot(0, pump);
    // However the engine behaves, the loop ends.
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    app.exec();

    EXPECT_EQ(engine.pending(), 0u);
    EXPECT_EQ(answered.size(), 30u);
    for (const auto& [domain, times] : answered) {
        EXPECT_EQ(times, 1) << domain;
    }
    EXPECT_TRUE(onLoopThread);
}

}  // namespace
}  // namespace ombrix::lookup
