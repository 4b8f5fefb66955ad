#pragma once
// Starting a child program directly, by its full path: no shell, so no verb
// and no file class is looked up in a registry an unelevated user can write.
// An elevated program's child inherits its token as it is.

#include <stddef.h>
#include <windows.h>

#include "unique_resource.h"

// Writes "program" arguments into line (capacity characters): the command
// line a child gets, its own path quoted as its first word. False, with line
// empty, when it would not fit whole.
bool build_child_command_line(const wchar_t* program, const wchar_t* arguments,
                              wchar_t* line, size_t capacity);

// Starts program (a full path) with arguments in folder (null: our current
// folder), the creation flags given and its first window shown as show. It
// inherits inherited (an inheritable handle, kept open for its whole life)
// and no other handle; with null, none at all. The process, or an empty
// holder with GetLastError set when it could not be started.
KernelHandle start_child(const wchar_t* program, const wchar_t* arguments,
                         const wchar_t* folder, DWORD creation_flags, WORD show,
                         HANDLE inherited);
