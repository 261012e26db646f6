#pragma once
// What lumora-reg does with a parsed command line. Results go to out,
// errors (one "ERROR: ..." line) to err; answers the exit code: 0 when the
// operation was done, 1 on any error or when the user declined a
// confirmation.

#include <cstdio>

#include "reg_args.h"

int RunRegCommand(const RegCommand& cmd, std::FILE* out, std::FILE* err);

void PrintRegUsage(std::FILE* out);
