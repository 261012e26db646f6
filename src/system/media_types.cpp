#include "system/media_types.h"

#include <array>

namespace {

constexpr std::array<MediaType, 35> kVideo{{
    {"3gp", "3GP контейнер"},
    {"asf", "ASF видеопоток"},
    {"avchd", "AVCHD контейнер"},
    {"avi", "AVI контейнер"},
    {"avs", "AVS"},
    {"bink", "Bink video"},
    {"cavsvideo", "Видеостандарт Китая"},
    {"divx", "Divx видеозапись"},
    {"dv", "DV видеозапись"},
    {"flv", "Flash видео"},
    {"gif", "Animated GIF"},
    {"hdv", "HDV видео"},
    {"matroska", "Matroska видео"},
    {"m1v", "Mpeg1 видео"},
    {"m2v", "Mpeg2 видео"},
    {"m2ts", "Mpeg2 поток"},
    {"m4v", "Mpeg4 видео"},
    {"mkv", "Matroska видео"},
    {"mod", "Видео с камеры"},
    {"mov", "MPEG4/QuickTime видео"},
    {"mp4", "MPEG4/QuickTime видео"},
    {"mpg", "MPEG2 видеопоток"},
    {"mpeg", "MPEG2 видеопоток"},
    {"mpegts", "MPEG2 TS видеопоток"},
    {"mpeg-ts", "MPEG2 TS видеопоток"},
    {"mts", "MPEG4 TS видеопоток"},
    {"rm", "Real media"},
    {"str", "PlayStation video"},
    {"ts", "MPEG2\\4 TS видеопоток"},
    {"tp", "MPEG2\\4 TS видеопоток"},
    {"vcr", "Запись видео"},
    {"vob", "MPEG2 DVD видеопоток"},
    {"wmv", "Windows Media Video"},
    {"webm", "WEBM видео"},
    {"xmv", "Windows Media X"},
}};

constexpr std::array<MediaType, 26> kAudio{{
    {"3ga", "3GP контейнер"},
    {"3gpp", "3GP контейнер"},
    {"aac", "ADTS AAC аудиопоток"},
    {"ac3", "AC-3 аудиопоток"},
    {"aiff", "Аудио IFF"},
    {"alaw", "PCM аудио A-law"},
    {"amr", "3GPP AMR аудио"},
    {"ape", "Monkeys Audio"},
    {"awb", "AMR Wide audio"},
    {"caf", "Apple CAF аудиоформат"},
    {"dts", "DTS аудиопоток"},
    {"dtshd", "DTS-HD аудиопоток"},
    {"eac3", "E-AC-3 аудиопоток"},
    {"flac", "FLAC аудиозапись"},
    {"m4a", "M4A аудиозапись"},
    {"mp3", "MPEG2/3 аудиозапись"},
    {"mpc", "Musepack"},
    {"mpc8", "Musepack SV8"},
    {"ogg", "OGG Аудио"},
    {"ra", "Real audio"},
    {"tta", "TTA (Trueaudio)"},
    {"wav", "Waveform Audio"},
    {"wv", "WavePack аудиозапись"},
    {"xa", "PlayStation аудиозапись"},
    {"xwma", "Windows Media X audio"},
    {"m3u", "M3U Плейлист"},
}};

// Extensions are ASCII, so only ASCII letters need folding; other bytes of
// the name must match exactly (they cannot match an extension anyway).
bool EndsWithDotExt(std::string_view name, std::string_view ext) {
  if (name.size() < ext.size() + 1) return false;
  const std::string_view tail = name.substr(name.size() - ext.size() - 1);
  if (tail[0] != '.') return false;
  for (std::size_t i = 0; i < ext.size(); ++i) {
    const auto c = static_cast<unsigned char>(tail[i + 1]);
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : tail[i + 1];
    if (lower != ext[i]) return false;
  }
  return true;
}

}  // namespace

std::span<const MediaType> VideoMediaTypes() { return kVideo; }
std::span<const MediaType> AudioMediaTypes() { return kAudio; }

bool IsMediaFile(std::string_view name) {
  for (const MediaType& t : kVideo)
    if (EndsWithDotExt(name, t.Ext)) return true;
  for (const MediaType& t : kAudio)
    if (EndsWithDotExt(name, t.Ext)) return true;
  return false;
}
