#pragma once
// One holder for every kind of handle the programs open, each kind a line
// below: it closes what it holds when it goes out of scope, on every path,
// moves but never copies, and keeps GetLastError as it was, so an error can
// still be reported after the handle is gone.

#include <stdio.h>
#include <windows.h>

template <typename Traits>
class UniqueResource {
 public:
  using Value = typename Traits::Value;

  UniqueResource() : value_(Traits::empty()) {}
  explicit UniqueResource(Value value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Value get() const { return value_; }
  bool valid() const { return value_ != Traits::empty(); }

  // Closes what is held (if anything) and holds value instead.
  void reset(Value value = Traits::empty()) {
    if (valid()) {
      DWORD error = GetLastError();
      Traits::close(value_);
      SetLastError(error);
    }
    value_ = value;
  }

  // Gives up what is held without closing it.
  Value release() {
    Value value = value_;
    value_ = Traits::empty();
    return value;
  }

 private:
  Value value_;
};

// The empty value and the close of each kind.
struct SearchHandleTraits {
  using Value = HANDLE;
  static Value empty() { return INVALID_HANDLE_VALUE; }
  static void close(Value value) { FindClose(value); }
};
struct FileHandleTraits {
  using Value = HANDLE;
  static Value empty() { return INVALID_HANDLE_VALUE; }
  static void close(Value value) { CloseHandle(value); }
};
struct KernelHandleTraits {
  using Value = HANDLE;
  static Value empty() { return nullptr; }
  static void close(Value value) { CloseHandle(value); }
};
struct FileStreamTraits {
  using Value = FILE*;
  static Value empty() { return nullptr; }
  static void close(Value value) { fclose(value); }
};

// A search handle from FindFirstFileW.
using SearchHandle = UniqueResource<SearchHandleTraits>;
// A file handle from CreateFile.
using FileHandle = UniqueResource<FileHandleTraits>;
// A process or thread handle: empty is null, as a failed launch leaves it.
using KernelHandle = UniqueResource<KernelHandleTraits>;
// A C runtime stream from fopen_s.
using FileStream = UniqueResource<FileStreamTraits>;
