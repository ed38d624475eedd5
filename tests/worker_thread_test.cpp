#include "workers/worker_thread.h"

#include "tests/support/captured_console.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/prctl.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {
// Step functions take no arguments, so what they observe lives here; each test starts
// with a fresh set.
struct Observations {
    std::atomic<int> stepsRun{0}, stepsFinished{0}, stepsAfterStop{0}, stepSleepMilliseconds{0};
    std::atomic<bool> startDone{false}, stepSawStartDone{true}, stopped{false};
    std::thread::id startThread, stopThread;
};
std::unique_ptr<Observations> observed;

void countingStep() {
    if (!observed->startDone) {
        observed->stepSawStartDone = false;
    }
    if (observed->stopped) {
        ++observed->stepsAfterStop;
    }
    ++observed->stepsRun;
    if (const int ms = observed->stepSleepMilliseconds.load(); ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    ++observed->stepsFinished;
}

void slowStart() {
    observed->startThread = std::this_thread::get_id();
    // A thread allowed to run early would step during this pause.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    observed->startDone = true;
}

void recordStop() {
    observed->stopThread = std::this_thread::get_id();
    observed->stopped = true;
}

std::unique_ptr<WorkerThread> startWorker(const char* name, StepFunction step,
                                          StepFunction onStart = nullptr,
                                          StepFunction onStop = nullptr) {
    auto worker = std::make_unique<WorkerThread>();
    createWorker(*worker, name, step, onStart, onStop);
    return worker;
}

void waitForSteps(int count) {
    while (observed->stepsRun < count) {
        std::this_thread::yield();
    }
}

class WorkerThreadTest : public ::testing::Test {
  protected:
    void SetUp() override { observed = std::make_unique<Observations>(); }
    CapturedConsole console;
};

WorkerThread* fairnessWorker = nullptr;
std::atomic<int> grants{0};
std::atomic<int> overtakes{0};
int grantsWhenWaiterSeen = -1; // touched by the worker thread only

// Holds each step until the outside thread is queued, so that it is waiting when the
// worker releases; the next step then checks that it was let in first.
void fairnessStep() {
    if (grantsWhenWaiterSeen >= 0 && grants == grantsWhenWaiterSeen) {
        ++overtakes;
    }
    grantsWhenWaiterSeen = -1;
    FairMutex& mutex = fairnessWorker->mutexRecord->mutex;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (mutex.waiting() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    if (mutex.waiting() > 0) {
        grantsWhenWaiterSeen = grants;
    }
}

// A step that would never end by itself: it runs until the worker is being stopped.
void stepUntilStopRequested() {
    ++observed->stepsRun;
    while (!stepShouldEnd()) {
        std::this_thread::yield();
    }
    ++observed->stepsFinished;
}

// A step asleep until a deadline an hour away: only the stop can wake it in time.
void stepAsleepForAnHour() {
    ++observed->stepsRun;
    sleepUntilCounterUnlessStopping(readPerformanceCounter() + 3'600'000'000'000);
    ++observed->stepsFinished;
}

// The thread names itself as it starts, so the name is waited for (up to 10 s).
std::string osThreadName(WorkerThread& worker, const std::string& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char name[16] = {};
    do {
        pthread_getname_np(worker.mutexRecord->thread.native_handle(), name, sizeof name);
        std::this_thread::yield();
    } while (name != expected && std::chrono::steady_clock::now() < deadline);
    return name;
}

std::atomic<long> stepTimerSlack{-1};
void recordTimerSlack() {
    stepTimerSlack = prctl(PR_GET_TIMERSLACK);
    countingStep();
}
} // namespace

TEST_F(WorkerThreadTest, CallbacksRunOnTheControllingThreadAroundAllSteps) {
    auto worker = startWorker("tTest", countingStep, slowStart, recordStop);
    EXPECT_EQ(observed->startThread, std::this_thread::get_id());
    waitForSteps(3);
    stopWorker(worker);

    EXPECT_TRUE(observed->stepSawStartDone) << "a step ran before onStart had returned";
    EXPECT_EQ(observed->stopThread, std::this_thread::get_id());
    EXPECT_EQ(observed->stepsAfterStop, 0) << "a step ran after onStop";
    EXPECT_EQ(worker, nullptr);
}

TEST_F(WorkerThreadTest, AStepHoldingTheMutexPastOneSecondIsReportedOnceThenWaitedFor) {
    observed->stepSleepMilliseconds = 1300;
    auto worker = startWorker("tExecute", countingStep);
    waitForSteps(1);
    stopWorker(worker);

    EXPECT_EQ(observed->stepsRun.load(), observed->stepsFinished.load());
    EXPECT_EQ(console.take(), "tExecute: Wait Timeout on Mutex (Trying Infinite Wait)\n");
}

TEST_F(WorkerThreadTest, AWaitingThreadGetsTheMutexBetweenTwoStepsEveryTime) {
    auto worker = std::make_unique<WorkerThread>();
    fairnessWorker = worker.get();
    createWorker(*worker, "tRender", fairnessStep);
    for (int round = 0; round < 2000; ++round) {
        lockFromOutside(worker.get());
        ++grants;
        unlockFromOutside(worker.get());
    }
    stopWorker(worker);
    EXPECT_EQ(overtakes.load(), 0);
    EXPECT_EQ(grants.load(), 2000);
}

// The worker holds its place from its creation: a thread that asks for the mutex at
// once waits for the first step, however late the new thread gets going.
TEST_F(WorkerThreadTest, TheFirstStepComesBeforeAnyOutsideLocker) {
    auto worker = startWorker("tRender", countingStep);
    lockFromOutside(worker.get());
    EXPECT_GE(observed->stepsFinished.load(), 1);
    unlockFromOutside(worker.get());
    stopWorker(worker);
}

TEST_F(WorkerThreadTest, AnUnstartedWorkerIsNeitherLockedNorUnlockedFromOutside) {
    WorkerThread unstarted;
    unstarted.mutexRecord = std::make_unique<WorkerMutex>();
    lockFromOutside(&unstarted);
    unlockFromOutside(&unstarted);
    lockFromOutside(nullptr);
    unlockFromOutside(nullptr);

    // Had either call touched the mutex, the queue would be out of step now.
    FairMutex& mutex = unstarted.mutexRecord->mutex;
    EXPECT_TRUE(mutex.waitForTurn(mutex.enqueue(), std::chrono::milliseconds(100)));
    mutex.unlock();
}

TEST_F(WorkerThreadTest, StoppingNothingOrTwiceIsHarmless) {
    std::unique_ptr<WorkerThread> empty;
    stopWorker(empty);
    EXPECT_EQ(empty, nullptr);

    auto worker = startWorker("tExecute", countingStep);
    stopWorker(worker);
    stopWorker(worker);
    EXPECT_EQ(worker, nullptr);
}

TEST_F(WorkerThreadTest, AStopReachesTheRunningStepBeforeItWaitsForTheMutex) {
    EXPECT_FALSE(stepShouldEnd()) << "this thread is no worker";
    for (const StepFunction step : {stepUntilStopRequested, stepAsleepForAnHour}) {
        observed = std::make_unique<Observations>();
        auto worker = startWorker("tExecute", step);
        waitForSteps(1);
        stopWorker(worker);
        EXPECT_EQ(observed->stepsRun.load(), 1);
        EXPECT_GE(observed->stepsFinished.load(), 1);
    }
}

// The kernel lets a sleep end up to its thread's timer slack (50 us by default) late;
// a worker sleeps to deadlines and allows 1 ns.
TEST_F(WorkerThreadTest, TheOperatingSystemKnowsTheThreadByTheWorkersNameAndWakesItOnTime) {
    auto execute = startWorker("tExecute", recordTimerSlack);
    waitForSteps(1);
    EXPECT_EQ(stepTimerSlack.load(), 1);
    auto longName = startWorker("tAWorkerWithALongName", countingStep);
    EXPECT_EQ(osThreadName(*execute, "tExecute"), "tExecute");
    // The system keeps 15 characters.
    EXPECT_EQ(osThreadName(*longName, "tAWorkerWithALo"), "tAWorkerWithALo");
    stopWorker(execute);
    stopWorker(longName);
}
