// lumora-dsp: runs a WAV file through the player's audio effect chain
// (equalizer, dynamic amplifier, compressor) and writes a WAV file of the
// same format, so that the equalizer and the booster can be heard and
// measured.
//
//   lumora-dsp [--eq BAND=VALUE]... [--eq-on] [--booster] [--report] IN.wav OUT.wav
//
// BAND is a user band 0 to 9, VALUE its setting on the player's scale 0 to
// 200 (100 flat). --eq-on switches the equalizer on, --booster the dynamic
// amplifier and the compressor. --report prints peak and RMS per channel of
// the input and the output. Exit codes: 0 done, 1 a file could not be read,
// processed or written, 2 bad arguments.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "audio/chain_control.h"
#include "audio/eq_bands.h"
#include "audio/filter_list.h"
#include "audio/sample_format.h"
#include "audio/wav_file.h"

namespace {

constexpr const char* kUsage =
    "usage: lumora-dsp [--eq BAND=VALUE]... [--eq-on] [--booster] [--report] IN.wav OUT.wav\n"
    "  --eq BAND=VALUE  equalizer band 0-9 set to VALUE 0-200 (100 is flat)\n"
    "  --eq-on          switch the equalizer on\n"
    "  --booster        switch the sound booster (dynamic amplifier and compressor) on\n"
    "  --report         print peak and RMS per channel of input and output\n"
    "Reads 8/16/24/32-bit integer or 32-bit float WAV; writes the same format.\n";

struct Options {
  std::vector<std::pair<int, int>> bands;
  bool eq_on = false;
  bool booster = false;
  bool report = false;
  std::string in, out;
};

bool ParseInt(std::string_view s, int& v) {
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size();
}

bool ParseArgs(int argc, char** argv, Options& o, std::string& error) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--eq") {
      if (++i >= argc) {
        error = "--eq needs BAND=VALUE";
        return false;
      }
      const std::string_view spec = argv[i];
      const auto eq = spec.find('=');
      int band = -1, value = -1;
      if (eq == std::string_view::npos || !ParseInt(spec.substr(0, eq), band) ||
          !ParseInt(spec.substr(eq + 1), value) || band < 0 || band >= kUserEQBands || value < 0 ||
          value > 200) {
        error = "bad --eq value '" + std::string(spec) + "' (BAND 0-9, VALUE 0-200)";
        return false;
      }
      o.bands.emplace_back(band, value);
    } else if (a == "--eq-on") {
      o.eq_on = true;
    } else if (a == "--booster") {
      o.booster = true;
    } else if (a == "--report") {
      o.report = true;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option '" + std::string(a) + "'";
      return false;
    } else {
      files.emplace_back(a);
    }
  }
  if (files.size() != 2) {
    error = "expected IN.wav and OUT.wav";
    return false;
  }
  o.in = files[0];
  o.out = files[1];
  return true;
}

struct Level {
  double peak = 0, sum_squares = 0;
};

// Peak and RMS per channel, in unit scale.
std::vector<Level> Measure(const WavAudio& w) {
  std::vector<Level> levels(static_cast<std::size_t>(w.channels));
  const std::int64_t frames = w.Frames();
  DispatchLayout(LayoutOf(w.bits, w.is_float), [&](auto tag) {
    constexpr SampleLayout L = decltype(tag)::value;
    constexpr int bps = BytesPerSample(L);
    const std::uint8_t* p = w.data.data();
    for (std::int64_t n = 0; n < frames; ++n) {
      for (int c = 0; c < w.channels; ++c, p += bps) {
        const double v = sample::ReadUnit<L, double>(p);
        levels[c].peak = std::max(levels[c].peak, std::abs(v));
        levels[c].sum_squares += v * v;
      }
    }
  });
  return levels;
}

std::string Db(double v) {
  char buf[32];
  if (v <= 0) return "   -inf";
  std::snprintf(buf, sizeof buf, "%7.2f", 20 * std::log10(v));
  return buf;
}

void Report(const WavAudio& in, const WavAudio& out) {
  const auto a = Measure(in), b = Measure(out);
  const auto frames = static_cast<double>(std::max<std::int64_t>(1, in.Frames()));
  std::printf("%d channel(s), %d Hz, %d-bit %s, %lld frames (%.2f s)\n", in.channels,
              in.sample_rate, in.bits, in.is_float ? "float" : "integer",
              static_cast<long long>(in.Frames()), frames / in.sample_rate);
  std::printf("channel  in peak   in RMS  out peak  out RMS   (dBFS)\n");
  for (int c = 0; c < in.channels; ++c) {
    std::printf("%7d  %s  %s  %s  %s\n", c, Db(a[c].peak).c_str(),
                Db(std::sqrt(a[c].sum_squares / frames)).c_str(), Db(b[c].peak).c_str(),
                Db(std::sqrt(b[c].sum_squares / frames)).c_str());
  }
}

// The player's chain: equalizer, dynamic amplifier, compressor.
bool Process(const Options& o, WavAudio& audio, std::string& error) {
  TDCFilterList list;
  TDCChainControl control(list);
  control.set_AddFilter(0, TDCFilterType::ftEqualizer);
  control.set_AddFilter(1, TDCFilterType::ftDynamicAmplify);
  control.set_AddFilter(2, TDCFilterType::ftCompressor);
  auto eq = list.GetDSPInterface(0).As<IDCEqualizer>();
  auto amp = list.GetDSPInterface(1).As<IDCDynamicAmplify>();
  auto comp = list.GetDSPInterface(2).As<IDCCompressor>();
  if (!eq || !amp || !comp) {
    error = "the effect chain could not be built";
    return false;
  }
  for (auto [band, value] : o.bands) SetUserEQBand(*eq, band, value);
  eq->set_Enabled(ToBOOL(o.eq_on));
  amp->set_Enabled(ToBOOL(o.booster));
  comp->set_Enabled(ToBOOL(o.booster));

  TDSStream stream;
  stream.Frequency = audio.sample_rate;
  stream.Channels = audio.channels;
  stream.Bits = audio.bits;
  stream.Float = ToBOOL(audio.is_float);
  list.Init(stream);
  // Buffers of 100 ms, as a decoder would deliver them.
  const std::size_t frame = static_cast<std::size_t>(audio.FrameBytes());
  const std::size_t chunk = frame * static_cast<std::size_t>(std::max(1, audio.sample_rate / 10));
  for (std::size_t pos = 0; pos + frame <= audio.data.size(); pos += chunk) {
    const std::size_t n = std::min(chunk, (audio.data.size() - pos) / frame * frame);
    list.Process(audio.data.data() + pos, static_cast<int>(n));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  Options o;
  std::string error;
  if (!ParseArgs(argc, argv, o, error)) {
    std::fprintf(stderr, "lumora-dsp: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  WavAudio audio;
  if (!ReadWavFile(o.in, audio, error)) {
    std::fprintf(stderr, "lumora-dsp: %s\n", error.c_str());
    return 1;
  }
  const WavAudio original = o.report ? audio : WavAudio{};
  if (!Process(o, audio, error) || !WriteWavFile(o.out, audio, error)) {
    std::fprintf(stderr, "lumora-dsp: %s\n", error.c_str());
    return 1;
  }
  if (o.report) Report(original, audio);
  return 0;
}
