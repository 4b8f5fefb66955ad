#pragma once

#include <stdio.h>
#include <windows.h>

// Owns a C runtime file stream opened with fopen_s; fclose on the way out.
class FileStream {
 public:
  FileStream(const char* path, const char* mode) {
    if (fopen_s(&file_, path, mode) != 0) file_ = nullptr;
  }
  ~FileStream() {
    if (file_ != nullptr) fclose(file_);
  }
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  bool is_open() const { return file_ != nullptr; }
  FILE* get() const { return file_; }

 private:
  FILE* file_ = nullptr;
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
