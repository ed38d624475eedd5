#include "virtual_x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

VirtualXServer::VirtualXServer() {
    int ready[2];
    if (pipe(ready) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        // Xvfb writes the display number it chose to the descriptor it is given, once
        // it takes connections. Without -noreset it would start afresh, refusing
        // connections meanwhile, whenever its last client leaves.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        close(ready[0]);
        const std::string descriptor = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", descriptor.c_str(), "-screen", "0", "640x480x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char digit = 0;
    while (pid_ > 0 && poll(&wait, 1, 20000) > 0 && read(ready[0], &digit, 1) == 1 &&
           digit != '\n') {
        number += digit;
    }
    close(ready[0]);
    if (!number.empty()) {
        display_ = ":" + number;
    }
}

VirtualXServer::~VirtualXServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}
