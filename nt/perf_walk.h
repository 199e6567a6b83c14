// The walk of one performance-data reply: the process object's counter
// definitions and instances turned into task records.
#pragma once
#include <cstddef>

#include "nt/counter_index.h"
#include "nt/task_list.h"

// Reads the first object of the `size` bytes at `data` as the process object
// and appends a new record per instance to `entries`. Nothing outside the
// `size` bytes is read. Returns 1 on success; 0 when the data is malformed
// or a record cannot be allocated, and then `entries` is as it was.
int ReadProcessInstances(const BYTE* data, size_t size, const CounterTitleIndex& titles,
                         TaskTable& entries);

// Fills `name` (16 bytes) from a converted instance name, or "-- unknown --"
// when the conversion failed (`converted` null): at most 15 bytes, and
// ".exe" added to a name of at most 11 bytes without a dot.
void BuildProcessName(char* name, const char* converted);
