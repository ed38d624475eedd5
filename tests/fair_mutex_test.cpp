#include "workers/fair_mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(FairMutex, GrantsTheMutexInTheOrderThePlacesWereTaken) {
    FairMutex mutex;
    mutex.waitForTurn(mutex.enqueue());

    std::vector<int> order;
    std::vector<std::thread> waiters;
    std::vector<FairMutex::Ticket> tickets;
    for (int i = 0; i < 4; ++i) {
        tickets.push_back(mutex.enqueue());
    }
    // Start the waiters in reverse so that thread start order cannot explain the result.
    for (int i = 3; i >= 0; --i) {
        waiters.emplace_back([&, i] {
            mutex.waitForTurn(tickets[static_cast<std::size_t>(i)]);
            order.push_back(i);
            mutex.unlock();
        });
    }
    mutex.unlock();
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

TEST(FairMutex, ATimedOutWaiterKeepsItsPlace) {
    FairMutex mutex;
    mutex.waitForTurn(mutex.enqueue());
    const FairMutex::Ticket waiting = mutex.enqueue();
    EXPECT_FALSE(mutex.waitForTurn(waiting, 10ms));

    // A later arrival must not overtake the one that timed out.
    const FairMutex::Ticket later = mutex.enqueue();
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
