#include "workers/fair_mutex.h"

FairMutex::Ticket FairMutex::enqueue() {
    std::lock_guard lock(mutex_);
    return nextTicket_++;
}

bool FairMutex::waitForTurn(Ticket ticket, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return turnChanged_.wait_for(lock, timeout, [&] { return nowServing_ == ticket; });
}

void FairMutex::waitForTurn(Ticket ticket) {
    std::unique_lock lock(mutex_);
    turnChanged_.wait(lock, [&] { return nowServing_ == ticket; });
}

void FairMutex::unlock() {
    {
        std::lock_guard lock(mutex_);
        ++nowServing_;
    }
    turnChanged_.notify_all();
}

FairMutex::Ticket FairMutex::unlockAndEnqueue() {
    Ticket ticket = 0;
    {
        std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
        ++nowServing_;
    }
    turnChanged_.notify_all();
    return ticket;
}

std::uint64_t FairMutex::waiting() {
    std::lock_guard lock(mutex_);
    return nextTicket_ - nowServing_ > 0 ? nextTicket_ - nowServing_ - 1 : 0;
}
