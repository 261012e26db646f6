#pragma once
// The interface and class identifiers of the fixture module
// test_filter_module, shared by the module and the loader tests.

#include "platform/com/unknown.h"

struct ITestFilter : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{3C1F5E2A-7B4D-4E8F-9A60-1D2E3F405162}");
  virtual int Answer() = 0;

 protected:
  ~ITestFilter() = default;
};

// A class answering ITestFilter (Answer() is 42).
inline constexpr CLSID CLSID_TestFilter = MakeGuid("{3C1F5E2A-7B4D-4E8F-9A60-1D2E3F405163}");
// A class whose creation succeeds without giving an object.
inline constexpr CLSID CLSID_EmptyResult = MakeGuid("{3C1F5E2A-7B4D-4E8F-9A60-1D2E3F405164}");
// A class whose creation fails with E_OUTOFMEMORY.
inline constexpr CLSID CLSID_FailingClass = MakeGuid("{3C1F5E2A-7B4D-4E8F-9A60-1D2E3F405165}");
// A class that unmasks floating-point exceptions while it is created, as a
// careless decoder might.
inline constexpr CLSID CLSID_FpuUnmasking = MakeGuid("{3C1F5E2A-7B4D-4E8F-9A60-1D2E3F405166}");
// No module knows this class.
inline constexpr CLSID CLSID_Unknown = MakeGuid("{3C1F5E2A-7B4D-4E8F-9A60-1D2E3F405167}");
