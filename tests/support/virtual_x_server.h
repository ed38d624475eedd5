#pragma once
// A virtual X server (Xvfb) of the test's own, for tests that need a real X server
// without depending on the desktop they are run from.

#include <string>
#include <sys/types.h>

class VirtualXServer {
  public:
    // Starts the server and waits until it takes connections; display() stays empty
    // when Xvfb is not installed or does not start.
    VirtualXServer();
    ~VirtualXServer();
    VirtualXServer(const VirtualXServer&) = delete;
    VirtualXServer& operator=(const VirtualXServer&) = delete;

    // The display name, such as ":5".
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};
