#include "play_options.h"

#include <charconv>

const char kPlayUsage[] =
    "usage: lumora-play [options] FILE|URL\n"
    "Plays the file to its end and prints one JSON object per line for every\n"
    "notification of the player, then a summary.\n"
    "  --for MS            stop after MS milliseconds of playback\n"
    "  --seek MS[@AT]      seek to MS before playback, or when AT ms have played\n"
    "  --volume N          volume 1 ... 100\n"
    "  --mute              mute\n"
    "  --eq BAND=VALUE     equalizer band 0 ... 9 to 0 ... 200 (100 flat; repeatable)\n"
    "  --eq-on             switch the equalizer on\n"
    "  --booster           switch the sound booster on\n"
    "  --track N           enable stream N of the file's stream table\n"
    "  --fill MODE         display mode 0 ... 3\n"
    "  --untimed           render as fast as possible (benchmarks)\n"
    "  --headless          no window even where a display exists\n"
    "  --filters DIR       folder of the decoder modules\n"
    "Audio goes to LUMORA_AUDIO_OUT (default, null, wav:PATH).\n";

namespace {

bool ToInt(const std::string& s, int& out) {
  const char* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, out);
  return ec == std::errc() && p == end;
}

}  // namespace

std::optional<TPlayOptions> ParsePlayOptions(const std::vector<std::string>& args,
                                             std::string& error) {
  TPlayOptions o;
  auto value = [&](std::size_t& i, const std::string& name) -> std::optional<std::string> {
    if (i + 1 >= args.size()) {
      error = name + " needs a value";
      return std::nullopt;
    }
    return args[++i];
  };
  auto number = [&](std::size_t& i, const std::string& name) -> std::optional<int> {
    auto v = value(i, name);
    if (!v) return std::nullopt;
    int n = 0;
    if (!ToInt(*v, n)) {
      error = name + ": not a number: " + *v;
      return std::nullopt;
    }
    return n;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--for") {
      auto n = number(i, a);
      if (!n) return std::nullopt;
      if (*n < 0) {
        error = "--for: the time must not be negative";
        return std::nullopt;
      }
      o.playFor = *n;
    } else if (a == "--seek") {
      auto v = value(i, a);
      if (!v) return std::nullopt;
      TSeekRequest r;
      const auto at = v->find('@');
      if (!ToInt(v->substr(0, at), r.target) ||
          (at != std::string::npos && (!ToInt(v->substr(at + 1), r.at) || r.at < 0))) {
        error = "--seek: expected MS or MS@AT: " + *v;
        return std::nullopt;
      }
      o.seeks.push_back(r);
    } else if (a == "--volume") {
      auto n = number(i, a);
      if (!n) return std::nullopt;
      o.volume = *n;
    } else if (a == "--mute") {
      o.mute = true;
    } else if (a == "--eq") {
      auto v = value(i, a);
      if (!v) return std::nullopt;
      const auto eq = v->find('=');
      int band = 0;
      int gain = 0;
      if (eq == std::string::npos || !ToInt(v->substr(0, eq), band) ||
          !ToInt(v->substr(eq + 1), gain) || band < 0 || band > 9) {
        error = "--eq: expected BAND=VALUE with a band 0 ... 9: " + *v;
        return std::nullopt;
      }
      o.eq.emplace_back(band, gain);
    } else if (a == "--eq-on") {
      o.eqOn = true;
    } else if (a == "--booster") {
      o.booster = true;
    } else if (a == "--track") {
      auto n = number(i, a);
      if (!n) return std::nullopt;
      o.track = *n;
    } else if (a == "--fill") {
      auto n = number(i, a);
      if (!n) return std::nullopt;
      if (*n < 0 || *n > 3) {
        error = "--fill: the mode must be 0 ... 3";
        return std::nullopt;
      }
      o.fill = *n;
    } else if (a == "--untimed") {
      o.untimed = true;
    } else if (a == "--headless") {
      o.headless = true;
    } else if (a == "--filters") {
      auto v = value(i, a);
      if (!v) return std::nullopt;
      o.filtersPath = *v;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      error = "only one file can be played";
      return std::nullopt;
    }
  }
  if (o.file.empty() && !o.help) {
    error = "no file given";
    return std::nullopt;
  }
  return o;
}
