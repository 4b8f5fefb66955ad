#pragma once

#include <stdio.h>

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
