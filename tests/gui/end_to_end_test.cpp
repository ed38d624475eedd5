// The real program under a virtual X server: started on a ROM, its window must show
// exactly the frame that quorvix-run's display produced for that ROM, at scale 2.

#include "tests/support/temp_file.h"
#include "tools/program_builders/chip8_program.h"

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
bool onPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string runAndRead(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, got);
        }
        pclose(pipe);
    }
    return output;
}

// A child process, ended with SIGTERM when the object goes.
class Child {
  public:
    Child(std::vector<std::string> arguments, std::vector<std::string> extraEnvironment,
          int passFd = -1) {
        std::vector<char*> argv;
        for (auto& a : arguments) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> environment = std::move(extraEnvironment);
        for (char** e = environ; *e != nullptr; ++e) {
            environment.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (auto& e : environment) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (passFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, passFd, 3);
        }
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool started() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
};

// A high-resolution picture that stays still: sprites and big digits, then a spin.
std::vector<std::uint8_t> stillPictureRom() {
    using namespace chip8reg;
    Chip8Program p;
    const auto ball = p.label();
    const auto spin = p.label();
    p.high().cls();
    p.ldi(ball).ld(V0, 3).ld(V1, 2).drw(V0, V1, 0);
    p.ld(V0, 100).ld(V1, 40).drw(V0, V1, 0);
    p.ld(V0, 120).ld(V1, 56).drw(V0, V1, 0); // clipped at the corner
    p.ld(V2, 7).bigGlyph(V2).ld(V0, 40).ld(V1, 20).drw(V0, V1, 10);
    p.ld(V2, 0xA).bigGlyph(V2).ld(V0, 52).drw(V0, V1, 10);
    p.bind(spin).jp(spin);
    p.bind(ball).data({0x07, 0xE0, 0x1F, 0xF8, 0x3F, 0xFC, 0x7F, 0xFE, 0x7F, 0xFE, 0xFF,
                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFE,
                       0x7F, 0xFE, 0x3F, 0xFC, 0x1F, 0xF8, 0x07, 0xE0, 0x00, 0x00});
    return p.bytes();
}

// Starts Xvfb on a free display; returns its number.
std::optional<int> startXvfb(std::optional<Child>& server) {
    int fds[2];
    if (pipe(fds) != 0) {
        return std::nullopt;
    }
    server.emplace(std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0",
                                            "1600x1200x24", "-nolisten", "tcp"},
                   std::vector<std::string>{}, fds[1]);
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        return std::nullopt;
    }
    return std::stoi(number);
}

struct Rect {
    int x, y, width, height;
};

// The largest top-level window with exactly this name (Qt also names a 1 x 1 helper
// window after the program).
std::optional<Rect> windowNamed(const std::string& display, const std::string& name) {
    const std::string tree =
        runAndRead("xwininfo -display " + display + " -root -tree 2>/dev/null");
    const std::regex line("\"" + name + R"(":.*\s(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
    std::optional<Rect> largest;
    for (std::sregex_iterator match(tree.begin(), tree.end(), line), end; match != end; ++match) {
        const Rect window{std::stoi((*match)[3]), std::stoi((*match)[4]), std::stoi((*match)[1]),
                          std::stoi((*match)[2])};
        if (!largest || window.width * window.height > largest->width * largest->height) {
            largest = window;
        }
    }
    return largest;
}

TEST(EndToEndTest, WindowShowsTheFrameTheDisplayProduced) {
    for (const char* tool : {"Xvfb", "xwininfo", "import"}) {
        if (!onPath(tool)) {
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh installs it)";
        }
    }
    TempDirectory folder;
    const std::string rom = folder.write("still.ch8", stillPictureRom());
    const std::string expectedPng = (folder.path() / "expected.png").string();
    ASSERT_EQ(std::system((std::string(QUORVIX_RUN_PROGRAM) + " --frames 20 --screenshot " +
                           expectedPng + " " + rom + " >/dev/null")
                              .c_str()),
              0);
    const QImage frame(QString::fromStdString(expectedPng));
    ASSERT_EQ(frame.size(), QSize(512, 256));
    const QImage expected = frame.convertToFormat(QImage::Format_RGB32)
                                .scaled(1024, 512, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    std::optional<Child> server;
    const std::optional<int> displayNumber = startXvfb(server);
    ASSERT_TRUE(displayNumber.has_value()) << "Xvfb did not start";
    const std::string display = ":" + std::to_string(*displayNumber);
    Child program({QUORVIX_PROGRAM, rom}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(program.started());

    const std::string shotPath = (folder.path() / "shot.png").string();
    long differing = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (differing != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const std::optional<Rect> window = windowNamed(display, "Quorvix");
        if (!window || window->width != 1024 || window->height < 512) {
            continue;
        }
        if (std::system(
                ("import -display " + display + " -window root png:" + shotPath + " 2>/dev/null")
                    .c_str()) != 0) {
            continue;
        }
        const QImage screen =
            QImage(QString::fromStdString(shotPath)).convertToFormat(QImage::Format_RGB32);
        // The client area is the bottom 1024 x 512 of the window, below the menu bar.
        const QImage client = screen.copy(window->x, window->y + window->height - 512, 1024, 512);
        differing = 0;
        for (int y = 0; y < 512; ++y) {
            for (int x = 0; x < 1024; ++x) {
                differing += client.pixel(x, y) != expected.pixel(x, y) ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(differing, 0) << "pixels of the window that differ from the display's frame "
                               "(-1: the window never appeared at 1024 wide)";
}
} // namespace
