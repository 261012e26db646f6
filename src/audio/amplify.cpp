#include "audio/amplify.h"

#include "audio/sample_format.h"

TDCAmplify::TDCAmplify() {
  for (auto& v : volume_) v.store(kUnity, std::memory_order_relaxed);
}

void TDCAmplify::Process(void* buffer, int size, int bits, int channels, bool is_float) noexcept {
  if (!Enabled()) return;
  const SampleLayout layout = LayoutOf(bits, is_float);
  if (layout == SampleLayout::kUnsupported || channels <= 0) return;

  // Gains are read once per buffer; a concurrent change lands in the next.
  const bool separate = separate_.load(std::memory_order_relaxed);
  std::array<LONG, kMaxChannels> gains;
  for (int c = 0; c < kMaxChannels; ++c) gains[c] = volume_[c].load(std::memory_order_relaxed);

  DispatchLayout(layout, [&](auto tag) {
    constexpr SampleLayout L = decltype(tag)::value;
    constexpr int bps = BytesPerSample(L);
    ForEachProcessingBlock(buffer, size, L, channels, [&](std::uint8_t* block, int frames) {
      if (!separate) {
        const LONG g = gains[0];
        const float f = static_cast<float>(static_cast<double>(g) / 10000.0);
        const std::int64_t count = static_cast<std::int64_t>(frames) * channels;
        for (std::int64_t i = 0; i < count; ++i) sample::ApplyGain<L>(block + i * bps, g, f);
        return;
      }
      for (int c = 0; c < channels; ++c) {
        const LONG g = c < kMaxChannels ? gains[c] : 0;
        const float f = static_cast<float>(static_cast<double>(g) / 10000.0);
        std::uint8_t* p = block + static_cast<std::int64_t>(c) * bps;
        const std::int64_t stride = static_cast<std::int64_t>(channels) * bps;
        for (int n = 0; n < frames; ++n) sample::ApplyGain<L>(p + n * stride, g, f);
      }
    });
  });
}

void TDCAmplify::ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept {
  Process(buffer, bytes, stream.Bits, stream.Channels, FromBOOL(stream.Float));
}

HRESULT TDCAmplify::get_Enabled(BOOL* enabled) { return CopyOutValue(enabled, ToBOOL(Enabled())); }
HRESULT TDCAmplify::set_Enabled(BOOL enabled) {
  SetEnabled(FromBOOL(enabled));
  return S_OK;
}
HRESULT TDCAmplify::get_Seperate(BOOL* separate) {
  return CopyOutValue(separate, ToBOOL(separate_.load(std::memory_order_relaxed)));
}
HRESULT TDCAmplify::set_Seperate(BOOL separate) {
  separate_.store(FromBOOL(separate), std::memory_order_relaxed);
  return S_OK;
}
HRESULT TDCAmplify::get_Volume(BYTE channel, LONG* volume) {
  return CopyOutValue(
      volume, channel < kMaxChannels ? volume_[channel].load(std::memory_order_relaxed) : 0);
}
HRESULT TDCAmplify::set_Volume(BYTE channel, LONG volume) {
  if (channel < kMaxChannels) volume_[channel].store(volume, std::memory_order_relaxed);
  return S_OK;
}
