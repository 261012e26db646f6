#pragma once
// Scalar types, enumerations, records and constants of the filter-graph
// framework's COM-style interfaces, with the values of the platform the
// interfaces come from.

#include <cstddef>
#include <cstdint>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/types.h"
#include "platform/messages/message_layer.h"

struct IBaseFilter;
struct IFilterGraph;
class TBCEvent;
class TBCSemaphore;

using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using LCID = DWORD;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// Strings handed across the automation-style interfaces (IMediaControl).
using BSTR = OLECHAR*;
// Positions of IMediaPosition: seconds as a double.
using REFTIME = double;
// Window handle of IMediaEventEx::SetNotifyWindow: a message-layer target.
using OAHWND = HWND;
// Event handle of IMediaEvent::GetEventHandle: a TBCEvent* as an integer.
using OAEVENT = LONG_PTR;
using OAFilterState = LONG;
// Handles the reference clock signals (see sync.h).
using HEVENT = TBCEvent*;
using HSEMAPHORE = TBCSemaphore*;

// Success codes the common HRESULT header does not carry.
inline constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;
inline constexpr HRESULT VFW_S_RESERVED = 0x00040263;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr REFERENCE_TIME UNITS = 10000000;  // 100-ns units per second
inline constexpr REFERENCE_TIME MILLISECONDS = 10000;
inline constexpr REFERENCE_TIME MAX_TIME = 0x7FFFFFFFFFFFFFFF;

enum FILTER_STATE : int { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : int { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr std::size_t MAX_PIN_NAME = 128;
inline constexpr std::size_t MAX_FILTER_NAME = 128;

struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;  // with a reference the caller releases, or null
};

struct PIN_INFO {
  IBaseFilter* pFilter;  // with a reference the caller releases
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};

// IMemAllocator::GetBuffer flags.
inline constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
inline constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
inline constexpr DWORD AM_GBF_NOWAIT = 4;

// IMediaSample2 properties.
inline constexpr DWORD AM_SAMPLE_SPLICEPOINT = 0x01;
inline constexpr DWORD AM_SAMPLE_PREROLL = 0x02;
inline constexpr DWORD AM_SAMPLE_DATADISCONTINUITY = 0x04;
inline constexpr DWORD AM_SAMPLE_TYPECHANGED = 0x08;
inline constexpr DWORD AM_SAMPLE_TIMEVALID = 0x10;
inline constexpr DWORD AM_SAMPLE_TIMEDISCONTINUITY = 0x40;
inline constexpr DWORD AM_SAMPLE_FLUSH_ON_PAUSE = 0x80;
inline constexpr DWORD AM_SAMPLE_STOPVALID = 0x100;
inline constexpr DWORD AM_SAMPLE_ENDOFSTREAM = 0x200;
inline constexpr DWORD AM_STREAM_MEDIA = 0;
inline constexpr DWORD AM_STREAM_CONTROL = 1;

struct AM_MEDIA_TYPE;

struct AM_SAMPLE2_PROPERTIES {
  DWORD cbData;
  DWORD dwTypeSpecificFlags;
  DWORD dwSampleFlags;
  LONG lActual;
  REFERENCE_TIME tStart;
  REFERENCE_TIME tStop;
  DWORD dwStreamId;
  AM_MEDIA_TYPE* pMediaType;
  BYTE* pbBuffer;
  LONG cbBuffer;
};

// Quality messages (IQualityControl).
enum QualityMessageType : int { Famine = 0, Flood = 1 };
struct Quality {
  QualityMessageType Type;
  LONG Proportion;  // 1000 = full rate
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
};

// IMediaSeeking capabilities.
inline constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
inline constexpr DWORD AM_SEEKING_CanPlayBackwards = 0x40;
inline constexpr DWORD AM_SEEKING_CanDoSegments = 0x80;
inline constexpr DWORD AM_SEEKING_Source = 0x100;

// IMediaSeeking::SetPositions flags.
inline constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
inline constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr DWORD AM_SEEKING_ReturnTime = 0x8;
inline constexpr DWORD AM_SEEKING_Segment = 0x10;
inline constexpr DWORD AM_SEEKING_NoFlush = 0x20;

// IAMFilterMiscFlags.
inline constexpr ULONG AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
inline constexpr ULONG AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

// IAMStreamSelect.
inline constexpr DWORD AMSTREAMSELECTINFO_ENABLED = 0x1;
inline constexpr DWORD AMSTREAMSELECTINFO_EXCLUSIVE = 0x2;
inline constexpr DWORD AMSTREAMSELECTENABLE_ENABLE = 0x1;
inline constexpr DWORD AMSTREAMSELECTENABLE_ENABLEALL = 0x2;

// IMediaEventEx::SetNotifyFlags.
inline constexpr LONG AM_MEDIAEVENT_NONOTIFY = 0x01;

// Graph event codes (IMediaEvent::GetEvent, IMediaEventSink::Notify).
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;
inline constexpr LONG EC_TIME = 0x04;
inline constexpr LONG EC_REPAINT = 0x05;
inline constexpr LONG EC_STREAM_ERROR_STOPPED = 0x06;
inline constexpr LONG EC_STREAM_ERROR_STILLPLAYING = 0x07;
inline constexpr LONG EC_ERROR_STILLPLAYING = 0x08;
inline constexpr LONG EC_PALETTE_CHANGED = 0x09;
inline constexpr LONG EC_VIDEO_SIZE_CHANGED = 0x0A;
inline constexpr LONG EC_QUALITY_CHANGE = 0x0B;
inline constexpr LONG EC_SHUTTING_DOWN = 0x0C;
inline constexpr LONG EC_CLOCK_CHANGED = 0x0D;
inline constexpr LONG EC_PAUSED = 0x0E;
inline constexpr LONG EC_OPENING_FILE = 0x10;
inline constexpr LONG EC_BUFFERING_DATA = 0x11;
inline constexpr LONG EC_FULLSCREEN_LOST = 0x12;
inline constexpr LONG EC_ACTIVATE = 0x13;
inline constexpr LONG EC_NEED_RESTART = 0x14;
inline constexpr LONG EC_WINDOW_DESTROYED = 0x15;
inline constexpr LONG EC_DISPLAY_CHANGED = 0x16;
inline constexpr LONG EC_STARVATION = 0x17;
inline constexpr LONG EC_OLE_EVENT = 0x18;
inline constexpr LONG EC_NOTIFY_WINDOW = 0x19;
inline constexpr LONG EC_STREAM_CONTROL_STOPPED = 0x1A;
inline constexpr LONG EC_STREAM_CONTROL_STARTED = 0x1B;
inline constexpr LONG EC_END_OF_SEGMENT = 0x1C;
inline constexpr LONG EC_SEGMENT_STARTED = 0x1D;
inline constexpr LONG EC_LENGTH_CHANGED = 0x1E;
inline constexpr LONG EC_DEVICE_LOST = 0x1F;
inline constexpr LONG EC_STEP_COMPLETE = 0x24;
inline constexpr LONG EC_STATE_CHANGE = 0x32;
inline constexpr LONG EC_ERRORABORTEX = 0x45;
inline constexpr LONG EC_CLOCK_UNSET = 0x51;
inline constexpr LONG EC_USER = 0x8000;

// Memory handed across interfaces (names of IPin::QueryId, media types of
// IEnumMediaTypes and IAMStreamSelect::Info, format blocks) is allocated
// with CoTaskMemAlloc and freed by the receiver with CoTaskMemFree.
void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* p);
