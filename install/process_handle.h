#pragma once

#include <windows.h>

// Owns a process handle from a launch; closes it only if there is one.
class ProcessHandle {
 public:
  explicit ProcessHandle(HANDLE handle) : handle_(handle) {}
  ~ProcessHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  // Blocks until the process has ended; returns at once when there is none.
  void wait() const {
    if (handle_ != nullptr) WaitForSingleObject(handle_, INFINITE);
  }

 private:
  HANDLE handle_;
};
