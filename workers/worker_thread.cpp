#include "workers/worker_thread.h"

#include "platform/console_log.h"
#include "workers/thread_name.h"

#include <sys/prctl.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <new>
#include <system_error>
#include <utility>

namespace {
constexpr std::chrono::milliseconds mutexPatience{1000};

void doNothing() {}

// The worker whose step runs on this thread, for stepShouldEnd().
thread_local const WorkerThread* currentWorker = nullptr;

void unlockWorker(WorkerThread& record) {
    record.mutexRecord->mutex.unlock();
}

void startThread(WorkerThread& record) {
    WorkerMutex& mutexRecord = *record.mutexRecord;
    mutexRecord.firstTicket = mutexRecord.mutex.enqueue();
    try {
        mutexRecord.thread = std::thread([&record] {
            nameCurrentThread(record.mutexRecord->name);
            // A worker's sleeps are to deadlines (frame ends, timer ticks, the refresh):
            // they should end at the deadline, not up to the default 50 us after it,
            // which the kernel allows so that it can wake several sleepers at once.
            prctl(PR_SET_TIMERSLACK, 1UL);
            workerMain(record);
        });
        mutexRecord.threadId =
            static_cast<std::uint32_t>(std::hash<std::thread::id>{}(mutexRecord.thread.get_id()));
    } catch (const std::system_error&) {
        // No thread could be made: the worker gives its place back and counts as
        // finished, so that stopping it does not wait for ever.
        mutexRecord.mutex.unlock();
        record.finished = 1;
    }
}
} // namespace

WorkerThread* createWorker(WorkerThread& record, const char* name, StepFunction step,
                           StepFunction onStart, StepFunction onStop) {
    record.command = 1;
    record.keepLocked = 0;
    record.started = 0;
    record.finished = 0;
    record.onStart = onStart ? std::move(onStart) : doNothing;
    record.onStop = onStop ? std::move(onStop) : doNothing;
    record.step = step ? std::move(step) : doNothing;

    std::unique_ptr<WorkerMutex> mutexRecord(new (std::nothrow) WorkerMutex);
    if (!mutexRecord) {
        return nullptr;
    }
    std::strncpy(mutexRecord->name, name, sizeof mutexRecord->name - 1);
    record.mutexRecord = std::move(mutexRecord);

    if (record.started == 0) {
        record.started = 1;
        // The thread is only made once onStart has returned, so whatever onStart creates
        // exists before the first step.
        record.onStart();
        startThread(record);
    }
    return &record;
}

std::unique_ptr<WorkerThread> makeWorker(const char* name, StepFunction step, StepFunction onStart,
                                         StepFunction onStop) {
    std::unique_ptr<WorkerThread> worker(new (std::nothrow) WorkerThread);
    if (worker && createWorker(*worker, name, std::move(step), std::move(onStart),
                               std::move(onStop)) == nullptr) {
        worker.reset();
    }
    return worker;
}

namespace {
void waitPatiently(WorkerThread& record, FairMutex::Ticket ticket) {
    WorkerMutex& mutexRecord = *record.mutexRecord;
    if (!mutexRecord.mutex.waitForTurn(ticket, mutexPatience)) {
        logMessage("%s: Wait Timeout on Mutex (Trying Infinite Wait)", mutexRecord.name);
        mutexRecord.mutex.waitForTurn(ticket);
    }
}
} // namespace

void lockWithTimeout(WorkerThread& record) {
    waitPatiently(record, record.mutexRecord->mutex.enqueue());
}

int workerMain(WorkerThread& record) {
    currentWorker = &record;
    waitPatiently(record, record.mutexRecord->firstTicket);
    for (;;) {
        const std::int32_t command = record.command;
        if (command == 0) {
            break;
        }
        // Once a stop is asked for, no new step begins: the stopper is about to take the
        // mutex and end the loop, and a step begun now would only delay it.
        const bool stopping = record.stopRequested.load(std::memory_order_acquire);
        if (!stopping) {
            record.step();
        }
        const bool holding = record.keepLocked != 0;
        record.keepLocked = 0;
        if (!holding) {
            // Releasing and queueing again are one step: a thread already waiting goes
            // first, and a thread arriving now comes after this worker's next step, so
            // a pre-empted worker cannot lose its place to a second draw.
            waitPatiently(record, record.mutexRecord->mutex.unlockAndEnqueue());
        }
    }
    unlockWorker(record);
    currentWorker = nullptr;
    record.finished = 1;
    return 0;
}

bool stepShouldEnd() {
    const WorkerThread* worker = currentWorker;
    return worker != nullptr && (worker->stopRequested.load(std::memory_order_acquire) ||
                                 worker->yieldRequested.load(std::memory_order_acquire));
}

void sleepUntilCounterUnlessStopping(std::uint64_t deadline) {
    const WorkerThread* worker = currentWorker;
    if (worker == nullptr) {
        sleepUntilCounter(deadline);
        return;
    }
    sleepUntilCounterOrSignal(deadline, worker->mutexRecord->stopSignal);
}

void setCommand(WorkerThread& record, std::int32_t value) {
    lockWithTimeout(record);
    record.command = value;
    unlockWorker(record);
}

void lockFromOutside(WorkerThread* record) {
    if (record != nullptr && record->started != 0) {
        lockWithTimeout(*record);
    }
}

void unlockFromOutside(WorkerThread* record) {
    if (record != nullptr && record->started != 0) {
        unlockWorker(*record);
    }
}

void stopWorker(std::unique_ptr<WorkerThread>& reference) {
    if (!reference) {
        return;
    }
    WorkerThread& record = *reference;
    if (record.started != 0) {
        // Raised before queueing for the mutex, so a long step can end early.
        record.stopRequested.store(true, std::memory_order_release);
        raiseWakeSignal(record.mutexRecord->stopSignal);
        setCommand(record, 0);
        // Joining waits for the thread to finish; a thread that was never made already
        // counts as finished.
        if (record.mutexRecord && record.mutexRecord->thread.joinable()) {
            record.mutexRecord->thread.join();
        }
        record.onStop();
    }
    record.mutexRecord.reset();
    reference.reset();
}
