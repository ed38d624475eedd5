#include "workers/worker_thread.h"

#include "platform/console_log.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <new>
#include <system_error>

namespace {
constexpr std::chrono::milliseconds mutexPatience{1000};

void doNothing() {}

void unlockWorker(WorkerThread& record) {
    record.mutexRecord->mutex.unlock();
}

void startThread(WorkerThread& record) {
    WorkerMutex& mutexRecord = *record.mutexRecord;
    try {
        mutexRecord.thread = std::thread([&record] { workerMain(record); });
        mutexRecord.threadId =
            static_cast<std::uint32_t>(std::hash<std::thread::id>{}(mutexRecord.thread.get_id()));
    } catch (const std::system_error&) {
        // No thread could be made: the worker counts as finished so that stopping it
        // does not wait for ever.
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
    record.onStart = onStart != nullptr ? onStart : doNothing;
    record.onStop = onStop != nullptr ? onStop : doNothing;
    record.slots.fill(doNothing);
    record.slots[1] = step != nullptr ? step : doNothing;

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
    if (worker && createWorker(*worker, name, step, onStart, onStop) == nullptr) {
        worker.reset();
    }
    return worker;
}

void lockWithTimeout(WorkerThread& record) {
    WorkerMutex& mutexRecord = *record.mutexRecord;
    const FairMutex::Ticket ticket = mutexRecord.mutex.enqueue();
    if (!mutexRecord.mutex.waitForTurn(ticket, mutexPatience)) {
        logMessage("%s: Wait Timeout on Mutex (Trying Infinite Wait)", mutexRecord.name);
        mutexRecord.mutex.waitForTurn(ticket);
    }
}

int workerMain(WorkerThread& record) {
    bool holding = false;
    for (;;) {
        if (!holding) {
            lockWithTimeout(record);
        }
        const std::int32_t command = record.command;
        if (command == 0) {
            break;
        }
        if (command > 0 && command < static_cast<std::int32_t>(record.slots.size())) {
            record.slots[static_cast<std::size_t>(command)]();
        }
        holding = record.keepLocked != 0;
        if (!holding) {
            unlockWorker(record);
        }
        record.keepLocked = 0;
    }
    unlockWorker(record);
    record.finished = 1;
    return 0;
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
