#pragma once
// A first-come-first-served mutex with a timed wait. A thread that is already waiting
// when the owner unlocks gets the mutex before the owner can take it again, which a
// plain std::mutex does not promise: a worker that relocks at once could otherwise
// keep every other thread out for ever.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class FairMutex {
  public:
    using Ticket = std::uint64_t;

    // Takes the next place in the queue. The mutex is ours once our turn comes.
    Ticket enqueue();
    // Waits for the ticket's turn up to `timeout`; false if it did not come. The place
    // in the queue is kept either way.
    bool waitForTurn(Ticket ticket, std::chrono::milliseconds timeout);
    void waitForTurn(Ticket ticket);
    void unlock();
    // The owner releases and queues again in one step: a thread already waiting is
    // served first, and nobody who arrives later can get in before the returned ticket.
    Ticket unlockAndEnqueue();
    // Threads queued behind the current owner.
    std::uint64_t waiting();

  private:
    std::mutex mutex_;
    std::condition_variable turnChanged_;
    Ticket nextTicket_ = 0;
    Ticket nowServing_ = 0;
};
