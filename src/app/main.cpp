// Lumora program entry.
#include <cstdio>
#include <cstring>

#include "lumora_version.h"

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0)) {
    std::printf("Lumora %s\n", LUMORA_VERSION);
    return 0;
  }
  std::printf("Lumora %s\n", LUMORA_VERSION);
  return 0;
}
