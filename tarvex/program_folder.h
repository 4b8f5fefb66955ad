#pragma once
// Phase 3: delete the first leftover program folder that exists.

#include <stddef.h>

// Candidates, tested in this order.
const size_t kCandidateCount = 5;

// Forms the path tested for candidate index in path (capacity bytes); false
// for an index out of range or a path that would not fit.
bool build_candidate_path(size_t index, char* path, size_t capacity);

// Writes the folder that holds path (a trailing separator on path ignored)
// into parent (capacity bytes); false when path names no folder within one,
// or it would not fit.
bool build_parent_path(const char* path, char* parent, size_t capacity);

// Whether the parent of candidate index must not be a link: the maker's
// folder is; Program Files (x86), the parent of the last, is not tested.
bool parent_is_tested(size_t index);

// Writes the last name of path (a trailing separator ignored) into leaf
// (capacity bytes): the name the candidate has in its parent folder. False
// when path names nothing within a folder, or it would not fit.
bool build_leaf_name(const char* path, char* leaf, size_t capacity);

// Runs phase 3 on this machine.
void remove_program_folder();
