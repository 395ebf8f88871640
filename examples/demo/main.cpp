// The demo session. For now it shows the runtime the library runs on: a main loop, timers on the
// clock and notifications, printing what happens.

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"

#include <cstdio>

using namespace morvix::platform;
using namespace std::chrono_literals;

int main()
{
    auto& loop = MainLoop::main();
    loop.bindToCurrentThread();
    auto center = NotificationCenter::defaultCenter();
    int ticks = 0;
    auto observer = center->addObserver("com.zerivoquastel.morvix.ProcessingFinished", nullptr,
        [&](const Notification& notification) { std::printf("notification %s\n", notification.name.c_str()); });
    Timer timer;
    timer.start(100ms, Repeat::Yes, [&] {
        std::printf("tick %d\n", ++ticks);
        center->post("com.zerivoquastel.morvix.ProcessingFinished");
        if (ticks == 3)
            loop.quit();
    });
    loop.run();
    std::printf("main loop finished after %d ticks\n", ticks);
    return 0;
}
