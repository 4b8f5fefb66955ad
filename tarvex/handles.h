#pragma once

#include <windows.h>

#include "dirent.h"

// Owns a search handle from FindFirstFileW; FindClose on the way out.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Owns a file handle from CreateFileA; CloseHandle on the way out.
class KernelFile {
 public:
  explicit KernelFile(HANDLE handle) : handle_(handle) {}
  ~KernelFile() {
    if (is_open()) CloseHandle(handle_);
  }
  KernelFile(const KernelFile&) = delete;
  KernelFile& operator=(const KernelFile&) = delete;

  bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Owns a kernel handle (a process); CloseHandle only if there is one, so a
// failed launch's empty handle is never closed.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle) : handle_(handle) {}
  ~KernelHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;

  // Blocks until the process has ended; returns at once when there is none.
  void wait() const {
    if (handle_ != nullptr) WaitForSingleObject(handle_, INFINITE);
  }

 private:
  HANDLE handle_;
};

// Owns a directory stream from opendir; closedir on the way out.
class DirStream {
 public:
  explicit DirStream(const char* path) : dir_(opendir(path)) {}
  ~DirStream() {
    if (dir_ != nullptr) closedir(dir_);
  }
  DirStream(const DirStream&) = delete;
  DirStream& operator=(const DirStream&) = delete;

  bool is_open() const { return dir_ != nullptr; }
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};
