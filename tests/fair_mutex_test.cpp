#include "workers/fair_mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

TEST(FairMutex, ATimedOutWaiterKeepsItsPlace) {
    FairMutex mutex;
    mutex.waitForTurn(mutex.enqueue());
    const FairMutex::Ticket waiting = mutex.enqueue();
    EXPECT_FALSE(mutex.waitForTurn(waiting, 10ms));

    // A later arrival must not overtake the one that timed out.
    const FairMutex::Ticket later = mutex.enqueue();
    EXPECT_EQ(mutex.waiting(), 2u) << "the two queued, not the holder";
    std::atomic<bool> laterGotIt{false};
    std::thread latecomer([&] {
        mutex.waitForTurn(later);
        laterGotIt = true;
        mutex.unlock();
    });
    mutex.unlock();
    EXPECT_TRUE(mutex.waitForTurn(waiting, 1000ms));
    EXPECT_FALSE(laterGotIt.load());
    mutex.unlock();
    latecomer.join();
    EXPECT_TRUE(laterGotIt.load());
}
