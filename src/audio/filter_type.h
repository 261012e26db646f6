#pragma once
// The kinds of effect the chain knows. Only five create an effect object;
// an item of any other kind keeps its kind, is named "Error" and passes audio
// through unchanged. Values outside the enumeration are treated the same.

#include <cstdint>
#include <string_view>

enum class TDCFilterType : std::uint8_t {
  ftNone = 0,
  ftAmplify = 1,
  ftBandPass = 2,
  ftChannelOrder = 3,
  ftCompressor = 4,
  ftDownMix = 5,
  ftDynamicAmplify = 6,
  ftEchoDelay = 7,
  ftEqualizer = 8,
  ftFlanger = 9,
  ftHighPass = 10,
  ftLowPass = 11,
  ftNotch = 12,
  ftPhaseInvert = 13,
  ftPhaser = 14,
  ftPitchScale = 15,
  ftPitchShift = 16,
  ftSound3D = 17,
  ftTempo = 18,
  ftTrebleEnhancer = 19,
  ftTrueBass = 20,
  ftParametricEQ = 21,
};

// The display name of an item of this kind: "Amplify", "Compressor",
// "Dynamic Amplify", "Equalizer", "Parametric EQ", or "Error" for a kind
// without an effect object.
constexpr std::string_view FilterTypeName(TDCFilterType t) noexcept {
  switch (t) {
    case TDCFilterType::ftAmplify:
      return "Amplify";
    case TDCFilterType::ftCompressor:
      return "Compressor";
    case TDCFilterType::ftDynamicAmplify:
      return "Dynamic Amplify";
    case TDCFilterType::ftEqualizer:
      return "Equalizer";
    case TDCFilterType::ftParametricEQ:
      return "Parametric EQ";
    default:
      return "Error";
  }
}
