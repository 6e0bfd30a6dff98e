// Two jobs on two threads, or one after the other where no second thread
// can start.
#pragma once

#include <system_error>
#include <thread>

namespace standin::platform {

// Runs `helper()` on a second thread while this one runs `main(alone)`, or,
// when `threaded` is false or no thread can start, `main(true)` and then
// `helper()` here.  `alone` tells `main` whether it runs without the
// helper beside it.  Returns when both are done.  `Thread` is std::thread
// but for tests, which hand over one that cannot start.
template <typename Thread = std::thread, typename Helper, typename Main>
void alongside(bool threaded, Helper &&helper, Main &&main) {
    Thread thread;
    if (threaded) {
        try {
            thread = Thread(helper);
        } catch (const std::system_error &) {
            threaded = false;
        }
    }
    main(!threaded);
    if (threaded)
        thread.join();
    else
        helper();
}

} // namespace standin::platform
