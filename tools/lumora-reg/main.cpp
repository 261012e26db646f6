// lumora-reg: shows and edits the registry store from the command line.
#include <cstdio>
#include <string>

#include "reg_args.h"
#include "reg_commands.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintRegUsage(stderr);
    return 1;
  }
  RegCommand cmd;
  std::string error;
  if (!ParseRegCommand(argc - 1, argv + 1, cmd, error)) {
    std::fprintf(stderr, "ERROR: %s\nType \"lumora-reg /?\" for usage.\n", error.c_str());
    return 1;
  }
  int code = RunRegCommand(cmd, stdout, stderr);
  if (std::fflush(stdout) != 0) return 1;
  return code;
}
