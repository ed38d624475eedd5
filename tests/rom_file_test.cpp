// Reading a ROM file must never wait on what sits under the name: a pipe with no
// writer (which the loaders' tests refuse), also one swapped in while the file is being
// opened.

#include "platform/rom_file.h"

#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// Runs `work` on a thread of its own. A hang detector, not a speed check: the bound is
// far beyond any loaded machine. When `work` has not finished by then, the test fails
// and `release` is called until it does, so a hang ends the test instead of the run.
void expectNoHang(const std::function<void()>& work, const std::function<void()>& release) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "reading the ROM file blocked";
        while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            release();
        }
    }
    thread.join();
}

// A reader blocked in opening the pipe is let go by a writer opening it.
void releaseReaderOf(const std::string& pipe) {
    const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0) {
        ::close(writer);
    }
}

// Another thread keeps replacing the name with a regular file and with a pipe (both stay
// reachable under names of their own). Every load either reads the whole file or is
// refused; none waits for a writer.
TEST(RomFileTest, APipeSwappedInDuringTheOpenIsRefusedAndNeverWaitedOn) {
    TempDirectory folder;
    const std::string rom = (folder.path() / "game.ch8").string();
    const std::string pipe = (folder.path() / "pipe").string();
    const std::string regular = folder.write("regular", {0x12, 0x34, 0x56});
    const std::string staged = (folder.path() / "staged").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::link(regular.c_str(), rom.c_str()), 0);

    std::atomic<bool> swapping = true;
    std::atomic<int> swaps = 0;
    std::thread swapper([&] {
        while (swapping) {
            for (const std::string* source : {&pipe, &regular}) {
                if (::link(source->c_str(), staged.c_str()) == 0) {
                    std::rename(staged.c_str(), rom.c_str());
                }
            }
            ++swaps;
        }
    });
    int whole = 0;
    int refused = 0;
    int partial = 0;
    expectNoHang(
        [&] {
            for (int load = 0; load < 200; ++load) {
                // Each load overlaps a later swap than the one before.
                for (const int seen = swaps; swaps == seen && swapping;) {
                    std::this_thread::yield();
                }
                std::array<std::uint8_t, 8> memory{};
                const auto read = readRomFile(rom.c_str(), memory.data(), memory.size());
                if (!read) {
                    ++refused;
                } else if (*read == 3 && memory[0] == 0x12 && memory[2] == 0x56) {
                    ++whole;
                } else {
                    ++partial;
                }
            }
        },
        [&] { releaseReaderOf(pipe); });
    swapping = false;
    swapper.join();
    EXPECT_EQ(whole + refused, 200);
    EXPECT_EQ(partial, 0);
}
} // namespace
