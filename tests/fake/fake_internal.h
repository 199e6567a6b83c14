// Shared pieces of the fake machine's implementation.
#pragma once
#include <cstdint>
#include <string>

#include "tests/fake/fake_machine.h"
#include "tests/fake/run_isolated.h"

// Appends one line to the call log (and to the child's log file).
void FakeLog(const std::string& line);

// Ends the child run with `end` and `code`, as ExitProcess does.
[[noreturn]] void FakeEndRun(RunEnd end, uint32_t code);

// The child's side of a run; set up by RunIsolated.
void FakeBeginChild(int logFd, void* sharedState);

std::string FakeHex(uintptr_t value);

// Forget the open handles and the replies used, for a fresh machine.
void FakeResetRegistry();
void FakeResetHandles();
