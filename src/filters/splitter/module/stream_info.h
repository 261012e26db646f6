#pragma once
// What the splitter tells about each stream of a file: its group, the name
// the stream selection lists ("English (AAC, 2.0)"), its language and the
// language's locale identifier, and the rules that pick the stream of each
// group when a file opens.

#include <string>
#include <vector>

#include "filters/ffmpeg/module/ff_common.h"
#include "filters/lav_settings.h"

enum class TStreamGroup : int { Video = 0, Audio = 1, Subtitle = 2 };

struct TStreamInfo {
  int index = -1;  // AVStream index
  TStreamGroup group = TStreamGroup::Video;
  std::string language;  // ISO 639-2 code as the file gives it, lower case; may be empty
  std::string title;
  std::string name;  // the listed name
  DWORD lcid = 0;
  bool isDefault = false;
  bool forced = false;
  bool impaired = false;  // hearing or visually impaired version
  int channels = 0;
  std::int64_t bitRate = 0;
};

// The listable streams of a file (video that is not a cover picture, audio,
// subtitles), in file order.
std::vector<TStreamInfo> DescribeStreams(const AVFormatContext& ctx);

// The English name of a language code ("eng", "en", "rus"); the code itself
// when unknown; empty for no or an undetermined language.
std::string LanguageName(const std::string& code);
// Locale identifier of a language code; 0 when unknown.
DWORD LanguageLcid(const std::string& code);
// Whether two language codes name the same language (two- and three-letter
// codes, bibliographic and terminology forms).
bool SameLanguage(const std::string& a, const std::string& b);
// Splits a list of language codes ("rus", "eng, ger", "fre;spa").
std::vector<std::string> ParseLanguageList(const std::string& text);

// Index into `streams` of the stream to select in `group`, -1 for none.
struct TSelectionRules {
  std::vector<std::string> audioLanguages;
  std::vector<std::string> subtitleLanguages;
  LAVSubtitleMode subtitleMode = LAVSubtitleMode_Default;
  bool preferHighQualityAudio = true;
};
int ChooseStream(const std::vector<TStreamInfo>& streams, TStreamGroup group,
                 const TSelectionRules& rules);
