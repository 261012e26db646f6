// lumora-play: plays a file with the real player engine, without the main
// window, printing the player's notifications and a summary as JSON lines.
#include <cstdio>
#include <string>
#include <vector>

#include "json_line.h"
#include "play_options.h"
#include "play_session.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = ParsePlayOptions(args, error);
  if (!options) {
    TJsonLine("error").String("message", error).Print();
    std::fputs(kPlayUsage, stderr);
    return 2;
  }
  if (options->help) {
    std::fputs(kPlayUsage, stdout);
    return 0;
  }
  TPlaySession session(std::move(*options));
  return session.Run();
}
