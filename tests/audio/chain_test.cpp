#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "audio/amplify.h"
#include "audio/chain_control.h"
#include "audio/compressor.h"
#include "audio/dynamic_amplify.h"
#include "audio/eq_bands.h"
#include "audio/equalizer.h"
#include "audio/filter_list.h"
#include "audio/parametric_eq.h"
#include "test_signals.h"

namespace {

using test_signals::Bytes;
using test_signals::Sine;

std::string Narrow(LPCWSTR w) {
  std::string s;
  for (; *w; ++w) s.push_back(static_cast<char>(*w));
  return s;
}

constexpr TDSStream kStereo16{0, 44100, 2, 16, BOOL_FALSE, BOOL_FALSE, BOOL_FALSE};

class Chain : public ::testing::Test {
 protected:
  std::vector<std::string> Names() {
    std::vector<std::string> n;
    for (int i = 0; i < list.Count(); ++i) n.push_back(list.GetName(i));
    return n;
  }

  // The player's set-up of its chain.
  void PlayerSetUp() {
    ASSERT_EQ(control.set_RemoveAllFilters(), S_OK);
    ASSERT_EQ(control.set_AddFilter(0, TDCFilterType::ftEqualizer), S_OK);
    ASSERT_EQ(control.set_AddFilter(1, TDCFilterType::ftDynamicAmplify), S_OK);
    ASSERT_EQ(control.set_AddFilter(2, TDCFilterType::ftCompressor), S_OK);
    IUnknown* unk = nullptr;
    ASSERT_EQ(control.get_FilterInterface(0, &unk), S_OK);
    eq = ComPtr<IUnknown>::Adopt(unk).As<IDCEqualizer>();
    ASSERT_EQ(control.get_FilterInterface(1, &unk), S_OK);
    amp = ComPtr<IUnknown>::Adopt(unk).As<IDCDynamicAmplify>();
    ASSERT_EQ(control.get_FilterInterface(2, &unk), S_OK);
    comp = ComPtr<IUnknown>::Adopt(unk).As<IDCCompressor>();
    ASSERT_TRUE(eq && amp && comp);
    eq->set_Enabled(BOOL_FALSE);
    amp->set_Enabled(BOOL_TRUE);
    comp->set_Enabled(BOOL_FALSE);
  }

  TDCFilterList list;
  TDCChainControl control{list};
  ComPtr<IDCEqualizer> eq;
  ComPtr<IDCDynamicAmplify> amp;
  ComPtr<IDCCompressor> comp;
};

TEST_F(Chain, PlayerSetUpGivesThreeItemsInOrder) {
  PlayerSetUp();
  LONG count = 0;
  EXPECT_EQ(control.get_FilterCount(&count), S_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Equalizer", "Dynamic Amplify", "Compressor"}));
  TDCFFTSize size{};
  eq->get_FFTSize(&size);
  EXPECT_EQ(size, TDCFFTSize::fts2048);  // the chain sets the equalizer's size
  BOOL on = 0;
  EXPECT_EQ(control.get_EnableFilter(1, &on), S_OK);
  EXPECT_EQ(on, BOOL_TRUE);
  EXPECT_EQ(control.get_EnableFilter(0, &on), S_OK);
  EXPECT_EQ(on, BOOL_FALSE);
  LPCWSTR name = nullptr;
  EXPECT_EQ(control.get_FilterName(2, &name), S_OK);
  EXPECT_EQ(Narrow(name), "Compressor");
  TDCFilterType type{};
  EXPECT_EQ(control.get_FilterType(1, &type), S_OK);
  EXPECT_EQ(type, TDCFilterType::ftDynamicAmplify);
}

TEST_F(Chain, MoveFilterReorders) {
  PlayerSetUp();
  EXPECT_EQ(control.set_MoveFilter(0, 2), S_OK);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Dynamic Amplify", "Compressor", "Equalizer"}));
  EXPECT_EQ(control.set_MoveFilter(2, 0), S_OK);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Equalizer", "Dynamic Amplify", "Compressor"}));
  EXPECT_EQ(control.set_MoveFilter(1, 1), S_OK);
  EXPECT_EQ(control.set_MoveFilter(0, 3), S_FALSE);
  EXPECT_EQ(control.set_MoveFilter(-1, 0), S_FALSE);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Equalizer", "Dynamic Amplify", "Compressor"}));
}

TEST_F(Chain, AddFilterPositions) {
  EXPECT_EQ(control.set_AddFilter(5, TDCFilterType::ftCompressor), S_OK);  // beyond: appends
  EXPECT_EQ(Names(), (std::vector<std::string>{"Compressor"}));
  EXPECT_EQ(control.set_AddFilter(-1, TDCFilterType::ftAmplify), S_OK);
  EXPECT_EQ(control.set_AddFilter(0, TDCFilterType::ftParametricEQ), S_OK);
  EXPECT_EQ(control.set_AddFilter(1, TDCFilterType::ftEqualizer), S_OK);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"Parametric EQ", "Equalizer", "Compressor", "Amplify"}));
  EXPECT_EQ(control.set_AddFilter(-2, TDCFilterType::ftAmplify), S_FALSE);  // no such position
  EXPECT_EQ(list.Count(), 4);
}

TEST_F(Chain, KindWithoutAnEffectIsNamedErrorAndPassesAudio) {
  EXPECT_EQ(control.set_AddFilter(0, TDCFilterType::ftEchoDelay), S_OK);
  EXPECT_EQ(control.set_AddFilter(1, static_cast<TDCFilterType>(200)), S_OK);  // unknown kind
  EXPECT_EQ(Names(), (std::vector<std::string>{"Error", "Error"}));
  EXPECT_EQ(list.GetFilterType(0), TDCFilterType::ftEchoDelay);
  IUnknown* unk = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(control.get_FilterInterface(0, &unk), E_NOTIMPL);
  EXPECT_EQ(unk, nullptr);
  EXPECT_EQ(control.get_FilterInterface(0, nullptr), E_POINTER);
  EXPECT_FALSE(list.GetDSPInterface(0));
  TDCEffect* effect = reinterpret_cast<TDCEffect*>(1);
  EXPECT_EQ(control.get_FilterClass(0, &effect), S_OK);
  EXPECT_EQ(effect, nullptr);
  EXPECT_EQ(control.set_EnableFilter(0, BOOL_TRUE), S_OK);
  BOOL on = BOOL_TRUE;
  control.get_EnableFilter(0, &on);
  EXPECT_EQ(on, BOOL_FALSE);

  list.Init(kStereo16);
  auto buf = test_signals::ToInt16(Sine(1000, 2, 440, 44100, 0.5));
  const auto before = buf;
  EXPECT_EQ(list.Process(buf.data(), Bytes(buf)), Bytes(buf));
  EXPECT_EQ(buf, before);
}

TEST_F(Chain, InvalidIndicesChangeNothing) {
  PlayerSetUp();
  for (LONG index : {-1, 3, 100}) {
    SCOPED_TRACE(index);
    TDCFilterType type = TDCFilterType::ftAmplify;
    EXPECT_EQ(control.get_FilterType(index, &type), S_FALSE);
    LPCWSTR name = nullptr;
    EXPECT_EQ(control.get_FilterName(index, &name), S_FALSE);
    BOOL b = 0;
    EXPECT_EQ(control.get_WindowShown(index, &b), S_FALSE);
    EXPECT_EQ(control.set_WindowShown(index, BOOL_TRUE), S_FALSE);
    EXPECT_EQ(control.set_DeleteFilter(index), S_FALSE);
    EXPECT_EQ(control.get_EnableFilter(index, &b), S_FALSE);
    EXPECT_EQ(control.set_EnableFilter(index, BOOL_TRUE), S_FALSE);
    TDCEffect* effect = nullptr;
    EXPECT_EQ(control.get_FilterClass(index, &effect), S_FALSE);
    IUnknown* unk = nullptr;
    EXPECT_EQ(control.get_FilterInterface(index, &unk), S_FALSE);
    TDCFilterItem* item = nullptr;
    EXPECT_EQ(control.get_FilterItem(index, &item), S_FALSE);
    EXPECT_EQ(list.GetName(index), "Error (Index)");
    EXPECT_EQ(list.GetFilterType(index), TDCFilterType::ftNone);
    EXPECT_EQ(list.GetItem(index), nullptr);
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"Equalizer", "Dynamic Amplify", "Compressor"}));
  EXPECT_EQ(control.get_FilterCount(nullptr), E_POINTER);
}

TEST_F(Chain, DeleteRemoveAllAndShownWindows) {
  PlayerSetUp();
  EXPECT_EQ(control.set_WindowShown(0, BOOL_TRUE), S_OK);
  EXPECT_EQ(control.set_WindowShown(2, BOOL_TRUE), S_OK);
  BOOL b = 0;
  control.get_WindowShown(2, &b);
  EXPECT_EQ(b, BOOL_TRUE);
  EXPECT_EQ(control.set_ResetShownWindows(), S_OK);
  for (LONG i = 0; i < 3; ++i) {
    control.get_WindowShown(i, &b);
    EXPECT_EQ(b, BOOL_FALSE);
  }
  EXPECT_EQ(control.set_DeleteFilter(1), S_OK);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Equalizer", "Compressor"}));
  TDCFilterItem* item = nullptr;
  EXPECT_EQ(control.get_FilterItem(1, &item), S_OK);
  EXPECT_EQ(item->Name(), "Compressor");
  EXPECT_EQ(item->Owner(), &list);
  EXPECT_EQ(control.set_RemoveAllFilters(), S_OK);
  EXPECT_EQ(list.Count(), 0);
}

// A client's reference keeps an effect alive after its item is gone.
TEST_F(Chain, InterfaceReferencesAreCounted) {
  PlayerSetUp();
  ComPtr<IDCEqualizer> held = eq;
  control.set_RemoveAllFilters();
  eq = nullptr;
  held->set_Band(0, 3, 17);
  std::int8_t v = 0;
  held->get_Band(0, 3, &v);
  EXPECT_EQ(v, 17);
  ComPtr<IDCAmplify> none = held.As<IDCAmplify>();
  EXPECT_FALSE(none);
}

TEST_F(Chain, ProcessRunsItemsInListOrder) {
  ASSERT_EQ(control.set_AddFilter(-1, TDCFilterType::ftAmplify), S_OK);
  ASSERT_EQ(control.set_AddFilter(-1, TDCFilterType::ftCompressor), S_OK);
  auto* a = dynamic_cast<TDCAmplify*>(list.GetItem(0)->Filter());
  auto* c = dynamic_cast<TDCCompressor*>(list.GetItem(1)->Filter());
  ASSERT_TRUE(a && c);
  a->set_Volume(0, 30000);
  a->set_Enabled(BOOL_TRUE);
  c->set_Enabled(BOOL_TRUE);
  list.Init(kStereo16);
  const auto in = test_signals::ToInt16(Sine(8000, 2, 1000, 44100, 0.2));

  auto chained = in;
  list.Process(chained.data(), Bytes(chained));
  auto a2 = MakeCom<TDCAmplify>();
  auto c2 = MakeCom<TDCCompressor>();
  a2->set_Volume(0, 30000);
  a2->set_Enabled(BOOL_TRUE);
  c2->set_Enabled(BOOL_TRUE);
  auto manual = in;
  a2->Process(manual.data(), Bytes(manual), 16, 2, false);
  c2->Process(manual.data(), Bytes(manual), 16, 2, false, 44100);
  EXPECT_EQ(chained, manual);

  // Reversed, the compressor sees the quiet signal and leaves it alone.
  list.Move(1, 0);
  auto reversed = in;
  list.Init(kStereo16);
  list.Process(reversed.data(), Bytes(reversed));
  EXPECT_NE(reversed, chained);
}

TEST_F(Chain, ItemAddedAfterInitIsFlushedAndProcessesFromTheNextBuffer) {
  list.Init(kStereo16);
  TDCFilterItem* item = list.Add(TDCFilterType::ftEqualizer);
  auto* e = dynamic_cast<TDCEqualizer*>(item->Filter());
  ASSERT_NE(e, nullptr);
  item->SetEnabled(true);
  EXPECT_TRUE(item->Enabled());
  EXPECT_EQ(e->FFTSizeInt(), 1024);  // the 2048 size takes over at the first buffer
  auto buf = test_signals::ToInt16(Sine(4000, 2, 1000, 44100, 0.5));
  const auto in = buf;
  list.Process(buf.data(), Bytes(buf));
  EXPECT_EQ(e->FFTSizeInt(), 2048);
  for (int n = 600; n < 3000; ++n) ASSERT_NEAR(buf[2 * (n + 256)], in[2 * n], 2);
}

TEST_F(Chain, InitFlushesEveryItem) {
  PlayerSetUp();
  SetUserEQBand(*eq, 3, 150);
  EXPECT_EQ(GetUserEQBand(*eq, 3), 150);
  ASSERT_EQ(control.set_EnableFilter(0, BOOL_TRUE), S_OK);
  list.Init(kStereo16);
  auto loud = test_signals::ToInt16(Sine(3000, 2, 300, 44100, 0.5));
  list.Process(loud.data(), Bytes(loud));
  list.Init(kStereo16);  // a new format or a new start of streaming
  std::vector<std::int16_t> silence(2000, 0);
  list.Process(silence.data(), Bytes(silence));
  for (std::int16_t v : silence) ASSERT_EQ(v, 0);
}

TEST_F(Chain, DynamicAmplifierItemLeavesAudioBitIdentical) {
  PlayerSetUp();
  list.Init(kStereo16);
  for (BOOL on : {BOOL_TRUE, BOOL_FALSE}) {
    amp->set_Enabled(on);
    auto buf = test_signals::ToInt16(Sine(5000, 2, 440, 44100, 0.99));
    const auto before = buf;
    list.Process(buf.data(), Bytes(buf));
    EXPECT_EQ(buf, before);
  }
}

TEST_F(Chain, UserBandMapping) {
  PlayerSetUp();
  SetUserEQBand(*eq, 9, 200);
  std::int8_t v = 0;
  for (WORD k : {558, 559, 800, 1023, 1024}) {
    eq->get_Band(0, k, &v);
    EXPECT_EQ(v, (k >= 559 && k <= 1023) ? 100 : 0) << k;
  }
  EXPECT_EQ(GetUserEQBand(*eq, 9), 200);
  SetUserEQBand(*eq, 0, 0);
  eq->get_Band(0, 2, &v);
  EXPECT_EQ(v, -100);
  eq->get_Band(0, 3, &v);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(GetUserEQBand(*eq, 0), 0);
  SetUserEQBand(*eq, 10, 150);  // no such band
  EXPECT_EQ(GetUserEQBand(*eq, 10), 100);
  SetUserEQBand(*eq, 1, 1000);  // limited, not wrapped
  EXPECT_EQ(GetUserEQBand(*eq, 1), 227);
}

// Structural changes on one thread while another processes: the chain lock
// keeps every buffer on items that exist (run under the sanitizers).
TEST_F(Chain, StructuralChangesWhileProcessing) {
  PlayerSetUp();
  control.set_EnableFilter(0, BOOL_TRUE);
  comp->set_Enabled(BOOL_TRUE);
  list.Init(kStereo16);
  std::thread streaming([&] {
    auto buf = test_signals::ToInt16(Sine(2048, 2, 440, 44100, 0.5));
    for (int i = 0; i < 200; ++i) list.Process(buf.data(), Bytes(buf));
  });
  for (int i = 0; i < 200; ++i) {
    control.set_AddFilter(0, TDCFilterType::ftParametricEQ);
    control.set_MoveFilter(0, 2);
    control.set_EnableFilter(2, BOOL_TRUE);
    control.set_DeleteFilter(2);
    SetUserEQBand(*eq, i % 10, 100 + i % 50);  // a plain value write, no lock
  }
  streaming.join();
  EXPECT_EQ(Names(), (std::vector<std::string>{"Equalizer", "Dynamic Amplify", "Compressor"}));
}

}  // namespace
