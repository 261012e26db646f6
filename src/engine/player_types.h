#pragma once
// Shared types of the player engine and its clients: the player state flags,
// the stream table entry, and the codes of the WM_PLAYERSTATE notification.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "platform/messages/player_messages.h"
#include "video/video_types.h"

// The flags of TPlayerState; flag n is bit n.
enum TPlayerStates : std::uint8_t {
  psOpened = 0,  // a graph is open and usable
  psPlayed = 1,  // playback was started and has not been stopped or run to its end
  psPaused = 2,  // the graph is paused
  psSeeked = 3,  // part of the type; never set
};

// A set of TPlayerStates in one byte.
class TPlayerState {
 public:
  constexpr TPlayerState() noexcept = default;
  constexpr TPlayerState(std::initializer_list<TPlayerStates> flags) noexcept {
    for (TPlayerStates f : flags) Include(f);
  }
  static constexpr TPlayerState FromByte(std::uint8_t bits) noexcept {
    TPlayerState s;
    s.bits_ = bits;
    return s;
  }

  constexpr bool Has(TPlayerStates f) const noexcept { return (bits_ >> f) & 1u; }
  constexpr void Include(TPlayerStates f) noexcept {
    bits_ = static_cast<std::uint8_t>(bits_ | (1u << f));
  }
  constexpr void Exclude(TPlayerStates f) noexcept {
    bits_ = static_cast<std::uint8_t>(bits_ & ~(1u << f));
  }
  constexpr bool Empty() const noexcept { return bits_ == 0; }
  constexpr std::uint8_t Bits() const noexcept { return bits_; }
  friend constexpr bool operator==(TPlayerState, TPlayerState) = default;

 private:
  std::uint8_t bits_ = 0;
};

// One stream of the open file as the splitter reports it.
struct TStreamInfo {
  std::string name;
  int mtype = 0;  // group: 0 video, 1 audio, 2 subtitles
  bool active = false;
};

inline constexpr int kMaxStreams = 32;

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// wParam codes of WM_PLAYERSTATE (the receiver reads the low byte).
inline constexpr WPARAM kStateEndOfStream = 0;
inline constexpr WPARAM kStateStopped = 1;
inline constexpr WPARAM kStatePlaying = 2;
inline constexpr WPARAM kStatePaused = 3;
inline constexpr WPARAM kStatePositionSet = 4;

// Optional observers of the picture settings and of muting.
using TIntChangeEvent = std::function<void(int value)>;
using TBoolChangeEvent = std::function<void(bool value)>;
