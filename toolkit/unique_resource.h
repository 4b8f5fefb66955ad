#pragma once
// One holder for every kind of handle the programs open, each kind a line
// below: it closes what it holds when it goes out of scope, on every path,
// moves but never copies, and keeps GetLastError as it was, so an error can
// still be reported after the handle is gone.

#include <stdint.h>
#include <stdio.h>
#include <windows.h>

template <typename Kind>
class UniqueResource {
 public:
  using Value = typename Kind::Value;

  UniqueResource() : value_(Kind::empty()) {}
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
  bool valid() const { return value_ != Kind::empty(); }

  // Closes what is held (if anything) and holds value instead.
  void reset(Value value = Kind::empty()) {
    if (valid()) {
      DWORD error = GetLastError();
      Kind::close(value_);
      SetLastError(error);
    }
    value_ = value;
  }

  // Gives up what is held without closing it.
  Value release() {
    Value value = value_;
    value_ = Kind::empty();
    return value;
  }

 private:
  Value value_;
};

// A kind of handle: what it holds, the function that closes it, and the
// value its opening returns on failure (an integer: INVALID_HANDLE_VALUE is
// -1), which is also what an empty holder holds.
template <typename Held, auto Close, intptr_t Empty = 0>
struct HandleKind {
  using Value = Held;
  static Value empty() { return reinterpret_cast<Value>(Empty); }
  static void close(Value value) { Close(value); }
};

// A search handle from FindFirstFileW.
using SearchHandle = UniqueResource<HandleKind<HANDLE, &FindClose, -1>>;
// A file handle from CreateFile.
using FileHandle = UniqueResource<HandleKind<HANDLE, &CloseHandle, -1>>;
// A process or thread handle: empty is null, as a failed launch leaves it.
using KernelHandle = UniqueResource<HandleKind<HANDLE, &CloseHandle>>;
// A C runtime stream from fopen_s.
using FileStream = UniqueResource<HandleKind<FILE*, &fclose>>;
