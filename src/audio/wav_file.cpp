#include "audio/wav_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
// The common tail of the extensible sub-format identifiers of PCM and float.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void PutTag(std::vector<std::uint8_t>& v, const char* tag) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(tag[i]));
}

bool ParseFormat(const std::vector<std::uint8_t>& f, WavAudio& out, std::string& error) {
  if (f.size() < 16) {
    error = "format chunk too short";
    return false;
  }
  std::uint16_t tag = U16(&f[0]);
  const std::uint16_t channels = U16(&f[2]);
  const std::uint32_t rate = U32(&f[4]);
  const std::uint16_t block_align = U16(&f[12]);
  const std::uint16_t bits = U16(&f[14]);
  if (tag == kTagExtensible) {
    if (f.size() < 40 || std::memcmp(&f[26], kSubFormatTail, sizeof kSubFormatTail) != 0) {
      error = "unsupported sample format: extensible with an unknown sub-format";
      return false;
    }
    tag = U16(&f[24]);
  }
  if (tag != kTagPcm && tag != kTagFloat) {
    error = "unsupported sample format: format tag " + std::to_string(tag) +
            " (only integer PCM and 32-bit float are handled)";
    return false;
  }
  const bool is_float = tag == kTagFloat;
  const bool bits_ok =
      is_float ? bits == 32 : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  if (!bits_ok) {
    error = "unsupported sample format: " + std::to_string(bits) + "-bit " +
            (is_float ? "float" : "integer");
    return false;
  }
  if (channels == 0 || rate == 0 || rate > 0x7FFFFFFF) {
    error = "invalid format: " + std::to_string(channels) + " channels at " + std::to_string(rate) +
            " Hz";
    return false;
  }
  if (block_align != channels * (bits / 8)) {
    error = "invalid format: block alignment " + std::to_string(block_align) + " for " +
            std::to_string(channels) + " channels of " + std::to_string(bits) + " bits";
    return false;
  }
  out.channels = channels;
  out.sample_rate = static_cast<int>(rate);
  out.bits = bits;
  out.is_float = is_float;
  return true;
}

}  // namespace

WavAudio MakeWav(int channels, int sample_rate, int bits, bool is_float) {
  WavAudio w;
  w.channels = channels;
  w.sample_rate = sample_rate;
  w.bits = bits;
  w.is_float = is_float;
  Put16(w.fmt, is_float ? kTagFloat : kTagPcm);
  Put16(w.fmt, static_cast<std::uint16_t>(channels));
  Put32(w.fmt, static_cast<std::uint32_t>(sample_rate));
  Put32(w.fmt, static_cast<std::uint32_t>(sample_rate * channels * (bits / 8)));
  Put16(w.fmt, static_cast<std::uint16_t>(channels * (bits / 8)));
  Put16(w.fmt, static_cast<std::uint16_t>(bits));
  return w;
}

bool ParseWav(std::span<const std::uint8_t> file, WavAudio& out, std::string& error) {
  out = WavAudio{};
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
    error = "not a RIFF WAVE file";
    return false;
  }
  bool have_fmt = false, have_data = false;
  std::size_t pos = 12;
  while (pos + 8 <= file.size()) {
    const std::uint8_t* h = file.data() + pos;
    const std::size_t size = U32(h + 4);
    const std::size_t body = pos + 8;
    const std::size_t available = file.size() - body;
    if (std::memcmp(h, "fmt ", 4) == 0) {
      if (size > available) {
        error = "truncated format chunk";
        return false;
      }
      out.fmt.assign(file.begin() + body, file.begin() + body + size);
      if (!ParseFormat(out.fmt, out, error)) return false;
      have_fmt = true;
    } else if (std::memcmp(h, "data", 4) == 0 && !have_data) {
      // A recording cut short keeps what it has.
      const std::size_t n = size < available ? size : available;
      out.data.assign(file.begin() + body, file.begin() + body + n);
      have_data = true;
    }
    if (size > available) break;
    pos = body + size + (size & 1);
  }
  if (!have_fmt) {
    error = "no format chunk";
    return false;
  }
  if (!have_data) {
    error = "no data chunk";
    return false;
  }
  return true;
}

bool ReadWavFile(const std::string& path, WavAudio& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  if (!ParseWav(bytes, out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

std::vector<std::uint8_t> SerializeWav(const WavAudio& audio) {
  std::vector<std::uint8_t> v;
  const std::size_t fmt_padded = audio.fmt.size() + (audio.fmt.size() & 1);
  const std::size_t data_padded = audio.data.size() + (audio.data.size() & 1);
  v.reserve(12 + 8 + fmt_padded + 8 + data_padded);
  PutTag(v, "RIFF");
  Put32(v, static_cast<std::uint32_t>(4 + 8 + fmt_padded + 8 + data_padded));
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put32(v, static_cast<std::uint32_t>(audio.fmt.size()));
  v.insert(v.end(), audio.fmt.begin(), audio.fmt.end());
  if (audio.fmt.size() & 1) v.push_back(0);
  PutTag(v, "data");
  Put32(v, static_cast<std::uint32_t>(audio.data.size()));
  v.insert(v.end(), audio.data.begin(), audio.data.end());
  if (audio.data.size() & 1) v.push_back(0);
  return v;
}

bool WriteWavFile(const std::string& path, const WavAudio& audio, std::string& error) {
  if (audio.data.size() + audio.fmt.size() > 0xFFFFFF00u) {
    error = "too much audio for a WAVE file";
    return false;
  }
  const std::vector<std::uint8_t> bytes = SerializeWav(audio);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    error = "cannot create " + path;
    return false;
  }
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}
