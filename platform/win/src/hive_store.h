#pragma once
// The process-wide cache of the registry hives and their files. Internal to
// the runtime library.
#include <functional>
#include <string>

#include "base/types.h"
#include "hive.h"

namespace win::reg {

enum HiveId { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2, kHiveCount = 3 };

// The calling thread's text of its last registry failure.
void SetLastErrorText(std::string text);
LONG Fail(LONG rc, std::string text);

// Runs `read` on the hive as its file holds it now. A hive that cannot be
// loaded answers its error without calling `read`.
LONG ReadHive(HiveId hive, const std::function<LONG(const Node& root)>& read);

// Runs `change` on the hive under the hive's file lock, after re-reading the
// file, and saves the hive when `change` succeeded and set `changed`. A
// read-only hive file or folder answers ERROR_ACCESS_DENIED before anything
// is read.
LONG WriteHive(HiveId hive, const std::function<LONG(Node& root, bool& changed)>& change);

// Forgets every loaded hive.
void FlushHives();

}  // namespace win::reg
