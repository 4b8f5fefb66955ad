#pragma once
// tarvex's one handle kind beyond the toolkit's: the directory stream.

#include "dirent.h"
#include "unique_resource.h"

struct DirStreamTraits {
  using Value = DIR*;
  static Value empty() { return nullptr; }
  static void close(Value value) { closedir(value); }
};

// A directory stream from opendir.
using DirStream = UniqueResource<DirStreamTraits>;
