// For tests only: a moment between a store's reading of a file and its replacing
// or deleting it, in which a test plays another program that changes the file, so
// that what the store does then is the same on every run.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Called with the path a store is about to replace or delete, after the store read
// it and before it checks that the path still names what it read.
using ReplaceHook = std::function<void(const std::wstring& path)>;

// Sets the hook; an empty one removes it. Never set outside tests.
void SetReplaceHookForTests(ReplaceHook hook);

}  // namespace platform
