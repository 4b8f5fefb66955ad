#pragma once
// tarvex's one handle kind beyond the toolkit's: the directory stream.

#include "dirent.h"
#include "unique_resource.h"

// A directory stream from opendir.
using DirStream = UniqueResource<HandleKind<DIR*, &closedir>>;
