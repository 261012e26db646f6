#include <gtest/gtest.h>

#include <unordered_set>

#include "platform/com/com_object.h"

namespace {

struct IAnimal : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{6B29FC40-CA47-1067-B31D-00DD010662DA}");
  virtual int Legs() = 0;

 protected:
  ~IAnimal() = default;
};

struct IDog : IAnimal {
  using Base = IAnimal;
  static constexpr IID iid = MakeGuid("{6B29FC41-CA47-1067-B31D-00DD010662DA}");
  virtual int Bark() = 0;

 protected:
  ~IDog() = default;
};

struct IPet : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{6B29FC42-CA47-1067-B31D-00DD010662DA}");
  virtual int Name() = 0;

 protected:
  ~IPet() = default;
};

struct IRescued : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{6B29FC43-CA47-1067-B31D-00DD010662DA}");
  virtual int Year() = 0;

 protected:
  ~IRescued() = default;
};

int g_alive = 0;

class TDog : public ComObject<IDog, IPet> {
 public:
  TDog() { ++g_alive; }
  ~TDog() override { --g_alive; }
  int Legs() override { return 4; }
  int Bark() override { return 1; }
  int Name() override { return 7; }
};

class TRescuedDog : public ComExtend<TDog, IRescued> {
 public:
  int Year() override { return 2020; }
};

}  // namespace

TEST(Guid, ParsesFormatsAndRejects) {
  constexpr GUID g = MakeGuid("{B98D13E7-55DB-4385-A33D-09FD1BA26338}");
  EXPECT_EQ(g.Data1, 0xB98D13E7u);
  EXPECT_EQ(g.Data2, 0x55DBu);
  EXPECT_EQ(g.Data3, 0x4385u);
  EXPECT_EQ(g.Data4[0], 0xA3);
  EXPECT_EQ(g.Data4[7], 0x38);
  EXPECT_EQ(GuidToString(g), "{B98D13E7-55DB-4385-A33D-09FD1BA26338}");
  EXPECT_EQ(GuidFromString("b98d13e7-55db-4385-a33d-09fd1ba26338"), g);
  for (const char* bad :
       {"", "{}", "{B98D13E7-55DB-4385-A33D-09FD1BA2633}", "{B98D13E7-55DB-4385-A33D-09FD1BA2633G}",
        "B98D13E7055DB-4385-A33D-09FD1BA26338", "{B98D13E7-55DB-4385-A33D-09FD1BA26338",
        "(B98D13E7-55DB-4385-A33D-09FD1BA26338)"})
    EXPECT_FALSE(GuidFromString(bad).has_value()) << bad;
  std::unordered_set<GUID> set{g, IID_IUnknown, IID_IClassFactory, g};
  EXPECT_EQ(set.size(), 3u);
}

TEST(ComObject, QueryInterfaceFollowsInterfaceChains) {
  {
    ComPtr<TDog> dog = MakeCom<TDog>();
    EXPECT_EQ(dog->RefCount(), 1u);
    ComPtr<IAnimal> animal = dog.As<IAnimal>();
    ASSERT_TRUE(animal);
    EXPECT_EQ(animal->Legs(), 4);
    ComPtr<IPet> pet = animal.As<IPet>();
    ASSERT_TRUE(pet);
    EXPECT_EQ(pet->Name(), 7);
    EXPECT_EQ(dog->RefCount(), 3u);
    // Identity: IUnknown from any interface is the same pointer.
    EXPECT_EQ(pet.As<IUnknown>().get(), dog.As<IUnknown>().get());
    EXPECT_FALSE(dog.As<IRescued>());
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(dog->QueryInterface(IRescued::iid, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(dog->QueryInterface(IDog::iid, nullptr), E_POINTER);
  }
  EXPECT_EQ(g_alive, 0);
}

TEST(ComObject, ExtendAddsInterfacesAndKeepsTheBases) {
  {
    ComPtr<TRescuedDog> dog = MakeCom<TRescuedDog>();
    ComPtr<IRescued> rescued = dog.As<IRescued>();
    ASSERT_TRUE(rescued);
    EXPECT_EQ(rescued->Year(), 2020);
    ComPtr<IDog> asDog = rescued.As<IDog>();
    ASSERT_TRUE(asDog);
    EXPECT_EQ(asDog->Bark(), 1);
    ComPtr<IDog> copy = asDog;
    asDog = nullptr;
    EXPECT_EQ(dog->RefCount(), 3u);
  }
  EXPECT_EQ(g_alive, 0);
}
