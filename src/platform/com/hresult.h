#pragma once
// HRESULT codes with the values of the platform the interfaces come from.

#include "platform/com/types.h"

constexpr HRESULT MakeHResult(std::uint32_t v) noexcept { return static_cast<HRESULT>(v); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_HANDLE = MakeHResult(0x80070006);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
inline constexpr HRESULT E_PENDING = MakeHResult(0x8000000A);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9);
inline constexpr HRESULT HRESULT_FILE_NOT_FOUND = MakeHResult(0x80070002);

// Streaming framework codes.
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;
inline constexpr HRESULT VFW_S_SOME_DATA_IGNORED = 0x00040245;
inline constexpr HRESULT VFW_S_CONNECTIONS_DEFERRED = 0x00040246;
inline constexpr HRESULT VFW_S_AUDIO_NOT_RENDERED = 0x00040258;
inline constexpr HRESULT VFW_S_VIDEO_NOT_RENDERED = 0x00040257;
inline constexpr HRESULT VFW_S_CANT_CUE = 0x00040268;

inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHResult(0x80040200);
inline constexpr HRESULT VFW_E_INVALIDSUBTYPE = MakeHResult(0x80040201);
inline constexpr HRESULT VFW_E_NEED_OWNER = MakeHResult(0x80040202);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = MakeHResult(0x80040203);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHResult(0x80040204);
inline constexpr HRESULT VFW_E_FILTER_ACTIVE = MakeHResult(0x80040205);
inline constexpr HRESULT VFW_E_NO_TYPES = MakeHResult(0x80040206);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHResult(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHResult(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHResult(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHResult(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeHResult(0x8004020B);
inline constexpr HRESULT VFW_E_BUFFER_NOTSET = MakeHResult(0x8004020C);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHResult(0x8004020D);
inline constexpr HRESULT VFW_E_BADALIGN = MakeHResult(0x8004020E);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHResult(0x8004020F);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHResult(0x80040210);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHResult(0x80040211);
inline constexpr HRESULT VFW_E_SIZENOTSET = MakeHResult(0x80040212);
inline constexpr HRESULT VFW_E_NO_CLOCK = MakeHResult(0x80040213);
inline constexpr HRESULT VFW_E_NO_SINK = MakeHResult(0x80040214);
inline constexpr HRESULT VFW_E_NO_INTERFACE = MakeHResult(0x80040215);
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeHResult(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHResult(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHResult(0x80040218);
inline constexpr HRESULT VFW_E_CHANGING_FORMAT = MakeHResult(0x80040219);
inline constexpr HRESULT VFW_E_NO_COLOR_KEY_SET = MakeHResult(0x8004021A);
inline constexpr HRESULT VFW_E_NOT_OVERLAY_CONNECTION = MakeHResult(0x8004021B);
inline constexpr HRESULT VFW_E_NOT_SAMPLE_CONNECTION = MakeHResult(0x8004021C);
inline constexpr HRESULT VFW_E_PALETTE_SET = MakeHResult(0x8004021D);
inline constexpr HRESULT VFW_E_COLOR_KEY_SET = MakeHResult(0x8004021E);
inline constexpr HRESULT VFW_E_NO_COLOR_KEY_FOUND = MakeHResult(0x8004021F);
inline constexpr HRESULT VFW_E_NO_PALETTE_AVAILABLE = MakeHResult(0x80040220);
inline constexpr HRESULT VFW_E_NO_DISPLAY_PALETTE = MakeHResult(0x80040221);
inline constexpr HRESULT VFW_E_TOO_MANY_COLORS = MakeHResult(0x80040222);
inline constexpr HRESULT VFW_E_STATE_CHANGED = MakeHResult(0x80040223);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeHResult(0x80040224);
inline constexpr HRESULT VFW_E_NOT_PAUSED = MakeHResult(0x80040225);
inline constexpr HRESULT VFW_E_NOT_RUNNING = MakeHResult(0x80040226);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeHResult(0x80040227);
inline constexpr HRESULT VFW_E_START_TIME_AFTER_END = MakeHResult(0x80040228);
inline constexpr HRESULT VFW_E_INVALID_RECT = MakeHResult(0x80040229);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHResult(0x8004022A);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED = MakeHResult(0x8004022B);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = MakeHResult(0x8004022C);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeHResult(0x8004022D);
inline constexpr HRESULT VFW_E_TIMEOUT = MakeHResult(0x8004022E);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MakeHResult(0x8004022F);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_RANGE = MakeHResult(0x80040230);
inline constexpr HRESULT VFW_E_CIRCULAR_GRAPH = MakeHResult(0x80040231);
inline constexpr HRESULT VFW_E_NOT_ALLOWED_TO_SAVE = MakeHResult(0x80040232);
inline constexpr HRESULT VFW_E_TIME_ALREADY_PASSED = MakeHResult(0x80040233);
inline constexpr HRESULT VFW_E_ALREADY_CANCELLED = MakeHResult(0x80040234);
inline constexpr HRESULT VFW_E_CORRUPT_GRAPH_FILE = MakeHResult(0x80040235);
inline constexpr HRESULT VFW_E_ADVISE_ALREADY_SET = MakeHResult(0x80040236);
inline constexpr HRESULT VFW_E_NO_MODEX_AVAILABLE = MakeHResult(0x80040238);
inline constexpr HRESULT VFW_E_NO_ADVISE_SET = MakeHResult(0x80040239);
inline constexpr HRESULT VFW_E_NO_FULLSCREEN = MakeHResult(0x8004023A);
inline constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeHResult(0x80040240);
inline constexpr HRESULT VFW_E_CANNOT_LOAD_SOURCE_FILTER = MakeHResult(0x80040241);
inline constexpr HRESULT VFW_E_FILE_TOO_SHORT = MakeHResult(0x80040243);
inline constexpr HRESULT VFW_E_INVALID_FILE_VERSION = MakeHResult(0x80040244);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHResult(0x8004025F);
inline constexpr HRESULT VFW_E_NO_AUDIO_HARDWARE = MakeHResult(0x80040256);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = MakeHResult(0x80040265);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHResult(0x80040249);
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHResult(0x80040251);

constexpr bool SUCCEEDED(HRESULT hr) noexcept { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) noexcept { return hr < 0; }
