// The page a child run shares with the test that started it.
#pragma once
#include <cstdint>

struct RunShared {
    int end;  // a RunEnd; Returned unless the child said otherwise
    uint32_t exitCode;
};
