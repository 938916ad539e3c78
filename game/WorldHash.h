// A fingerprint of the world's state: every construct of every pool with its position and orientation,
// and the tick counter. Two runs with the same input end with the same fingerprint.
#pragma once

#include <cstdint>

// FNV-1a over the pools in table order; *constructs (when given) receives the number of entries hashed.
uint64_t WorldStateHash(int* constructs);

// Set by the command line: the outer loop prints the fingerprint of each level before tearing it down.
extern int ReportWorldHash;
