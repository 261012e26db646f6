#pragma once
// The COM-style control interfaces of the effects. Methods follow the three
// IUnknown slots in declaration order; booleans are 32-bit with -1 for true.
// Every method returns S_OK, except that a null out pointer gives E_POINTER
// and an out-of-range size gives E_INVALIDARG (nothing is changed then).
//
// The setters are plain value writes that take no lock: they may be called on
// any thread while the chain processes, and the next buffer picks the values
// up.

#include <cstdint>

#include "audio/fft.h"
#include "platform/com/unknown.h"

// The equalizer: per-bin gains as band values A (G = 2 * 10^(A/100)).
struct IDCEqualizer : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{14D4A709-77ED-459B-B1E9-E4E4C84261BD}");

  virtual HRESULT get_Enabled(BOOL* enabled) = 0;
  // Sets the flag only; the overlap memory is left as it is.
  virtual HRESULT set_Enabled(BOOL enabled) = 0;
  virtual HRESULT get_Seperate(BOOL* separate) = 0;
  virtual HRESULT set_Seperate(BOOL separate) = 0;
  virtual HRESULT get_FFTSize(TDCFFTSize* size) = 0;
  virtual HRESULT set_FFTSize(TDCFFTSize size) = 0;
  // round(100 * log10(G / 2)) of bin index on channel; 0 when channel > 9
  // or index > 8191.
  virtual HRESULT get_Band(BYTE channel, WORD index, std::int8_t* band) = 0;
  // Ignored when channel > 9 or index > 8191.
  virtual HRESULT set_Band(BYTE channel, WORD index, std::int8_t band) = 0;

 protected:
  ~IDCEqualizer() = default;
};

// The fixed-gain amplifier; volumes in units of 1/10000 (10000 is unity).
struct IDCAmplify : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{3FB0116F-52EE-4286-BF3A-65C0055EAA45}");

  virtual HRESULT get_Enabled(BOOL* enabled) = 0;
  virtual HRESULT set_Enabled(BOOL enabled) = 0;
  virtual HRESULT get_Seperate(BOOL* separate) = 0;
  virtual HRESULT set_Seperate(BOOL separate) = 0;
  // 0 for a channel above 9.
  virtual HRESULT get_Volume(BYTE channel, LONG* volume) = 0;
  // Ignored for a channel above 9; any value is accepted.
  virtual HRESULT set_Volume(BYTE channel, LONG volume) = 0;

 protected:
  ~IDCAmplify() = default;
};

// The RMS compressor. Times in seconds, levels in dB.
struct IDCCompressor : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{E93CF724-B897-4A50-825B-AC8FFDCA937B}");

  virtual HRESULT get_Enabled(BOOL* enabled) = 0;
  virtual HRESULT set_Enabled(BOOL enabled) = 0;
  virtual HRESULT get_AttackTime(float* seconds) = 0;
  virtual HRESULT set_AttackTime(float seconds) = 0;
  virtual HRESULT get_DecayTime(float* seconds) = 0;
  virtual HRESULT set_DecayTime(float seconds) = 0;
  virtual HRESULT get_ThresholdDB(float* db) = 0;
  virtual HRESULT set_ThresholdDB(float db) = 0;
  virtual HRESULT get_Ratio(float* ratio) = 0;
  virtual HRESULT set_Ratio(float ratio) = 0;
  virtual HRESULT get_GainDB(float* db) = 0;
  virtual HRESULT set_GainDB(float db) = 0;

 protected:
  ~IDCCompressor() = default;
};

// Automatic-gain parameters; the effect holds them and processes nothing.
struct IDCDynamicAmplify : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{0B60A7EC-A76F-4526-AE29-FF1FD8EA7DC3}");

  virtual HRESULT get_Enabled(BOOL* enabled) = 0;
  virtual HRESULT set_Enabled(BOOL enabled) = 0;
  virtual HRESULT get_AttackTime(DWORD* time) = 0;
  virtual HRESULT set_AttackTime(DWORD time) = 0;
  virtual HRESULT get_ReleaseTime(DWORD* time) = 0;
  virtual HRESULT set_ReleaseTime(DWORD time) = 0;
  virtual HRESULT get_MaxAmplification(DWORD* amplification) = 0;
  virtual HRESULT set_MaxAmplification(DWORD amplification) = 0;
  virtual HRESULT get_CurrentAmplification(float* amplification) = 0;

 protected:
  ~IDCDynamicAmplify() = default;
};

// One peaking section per channel: centre frequency in Hz, gain in dB, Q.
struct IDCParametricEQ : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{A51C1B92-5C17-40FB-A1E2-685F329D97CF}");

  virtual HRESULT get_Enabled(BOOL* enabled) = 0;
  virtual HRESULT set_Enabled(BOOL enabled) = 0;
  virtual HRESULT get_Seperate(BOOL* separate) = 0;
  virtual HRESULT set_Seperate(BOOL separate) = 0;
  // Getters for a channel above 9 give 0.0; setters for one are ignored.
  virtual HRESULT get_Frequency(BYTE channel, float* hz) = 0;
  virtual HRESULT set_Frequency(BYTE channel, float hz) = 0;
  virtual HRESULT get_Gain(BYTE channel, float* db) = 0;
  virtual HRESULT set_Gain(BYTE channel, float db) = 0;
  virtual HRESULT get_Q(BYTE channel, float* q) = 0;
  virtual HRESULT set_Q(BYTE channel, float q) = 0;

 protected:
  ~IDCParametricEQ() = default;
};
