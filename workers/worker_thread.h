#pragma once
// A named thread that calls its step function again and again, each call under the
// worker's own mutex, until its command word tells it to leave.

#include "platform/clock.h"
#include "workers/fair_mutex.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

// A step may capture the machine it runs; workers hold no machine of their own.
using StepFunction = std::function<void()>;

struct WorkerMutex {
    FairMutex mutex;
    std::thread thread;
    std::uint32_t threadId = 0;
    char name[52] = {};
    // The worker's place for its first step, taken before its thread starts, so that
    // from its creation on nobody can pass the worker more than once.
    FairMutex::Ticket firstTicket = 0;
    // Raised with stopRequested, so that a step asleep until a deadline wakes for it.
    WakeSignal stopSignal;
};

struct WorkerThread {
    // 1 at creation, 0 tells the thread to leave. Written after creation only under
    // the mutex.
    std::int32_t command = 0;
    // When a step sets it, the mutex stays held after that step.
    std::uint8_t keepLocked = 0;
    std::atomic<std::uint8_t> started{0};
    std::atomic<std::uint8_t> finished{0};
    // Raised by the stop protocol before it waits for the mutex; a step that runs
    // many instructions may end early at an instruction boundary when it sees it.
    std::atomic<bool> stopRequested{false};
    // Raised while someone wants the worker held between two steps soon (a pause): a
    // step that runs many instructions ends early, as for a stop, but steps go on.
    std::atomic<bool> yieldRequested{false};
    StepFunction step;
    StepFunction onStart;
    StepFunction onStop;
    std::unique_ptr<WorkerMutex> mutexRecord;
};

// Fills the record, starts its thread and runs onStart on the calling thread before
// the first step. Null callbacks mean "do nothing". Null, with nothing started, when
// there is no memory for the mutex record.
WorkerThread* createWorker(WorkerThread& record, const char* name, StepFunction step,
                           StepFunction onStart = nullptr, StepFunction onStop = nullptr);

// Allocates a record and creates the worker in it; empty when memory for either cannot
// be had, and the machine then runs without that worker.
std::unique_ptr<WorkerThread> makeWorker(const char* name, StepFunction step,
                                         StepFunction onStart = nullptr,
                                         StepFunction onStop = nullptr);

// The worker's thread procedure.
int workerMain(WorkerThread& record);

void setCommand(WorkerThread& record, std::int32_t value);

// True inside a step of a worker that is being stopped or asked to yield: the step may
// end at the next instruction boundary. False on any thread that is not a worker.
bool stepShouldEnd();

// Inside a worker's step: sleeps until the performance counter reaches `deadline`, or
// until the worker is being stopped. On any other thread, a plain sleep to the deadline.
void sleepUntilCounterUnlessStopping(std::uint64_t deadline);

// Takes the worker's mutex: up to 1000 ms, then logs
// "<name>: Wait Timeout on Mutex (Trying Infinite Wait)" and waits without limit.
void lockWithTimeout(WorkerThread& record);

// For another thread that must keep the worker between two steps; does nothing
// while the worker has not been started.
void lockFromOutside(WorkerThread* record);
void unlockFromOutside(WorkerThread* record);

// The stop protocol: command 0 under the mutex, wait for the thread to finish, run
// onStop on this thread, free everything and leave the reference empty. Harmless on
// an empty reference.
void stopWorker(std::unique_ptr<WorkerThread>& reference);
