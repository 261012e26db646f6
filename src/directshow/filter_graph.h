#pragma once
// The filter graph manager (CLSID_FilterGraph).
//
//   ComPtr<IFilterGraph2> graph = CreateFilterGraph();
//   graph->AddFilter(source, u"source");  ... graph->Connect(out, in);
//   auto control = graph.As<IMediaControl>();  control->Run();
//
// The object answers IFilterGraph2 (and IGraphBuilder, IFilterGraph),
// IMediaControl, IMediaEventEx (IMediaEvent), IMediaEventSink, IMediaSeeking,
// IMediaFilter (IPersist). Behaviour:
// - Filters are kept under unique names, with a reference each. RemoveFilter
//   (and the graph's destruction) stops the filter, disconnects its pins on
//   both sides and takes it out of the graph and off the clock, so it can be
//   added to another graph.
// - Connect tries the output pin's types, then the input pin's, directly (no
//   filters are inserted); ConnectDirect uses the given type.
// - State changes reach the filters downstream first (renderers before their
//   upstream). Run sets the stream time base from the reference clock: a run
//   from stopped starts at stream time 0; a run after a pause continues where
//   the pause stopped the stream time. A first pause with no clock chosen
//   calls SetDefaultSyncSource.
// - StopWhenReady pauses, waits until every renderer holds its first sample
//   or has reached the end of its stream (GetState), then stops. The wait
//   gives up after the cue time-out (measured on the graph's system clock)
//   so that a stream that never delivers does not block it; it then returns
//   S_FALSE. Stop remembers the position, so the next run resumes there.
// - IMediaSeeking goes to one seeking path per source filter: the upstream
//   of each renderer (a renderer's own IMediaSeeking, else its input's peer).
//   SetPositions pauses a running graph, seeks (the source flushes every
//   stream and restarts from the target), then runs again with stream time
//   0 at the new position. GetCurrentPosition runs on the clock while
//   running and on the last sample drawn or shown otherwise.
// - SetDefaultSyncSource: the clock of a filter with a connected input that
//   offers IReferenceClock (the audio renderer), else the system clock.
// - Events: filters' events are queued for GetEvent; each queued event posts
//   the notify message (SetNotifyWindow) to its target. The renderers'
//   EC_COMPLETEs are collected: one EC_COMPLETE is queued when every
//   connected renderer input (of a filter flagged renderer, or with no output
//   pins) has ended its stream, once per run to the end (reset by Stop and
//   seeks). CancelDefaultHandling(EC_COMPLETE) passes each through instead.
//
// Threads: every method except IMediaEventSink::Notify and GetEvent is for
// application threads and takes the graph lock; filters' streaming threads
// call only Notify, which takes the event lock (never the graph lock).
// Destroying the graph stops it, which joins every streaming thread.

#include "directshow/dshow.h"
#include "platform/com/com_ptr.h"

struct FilterGraphOptions {
  // The graph's system clock, also used for the cue time-out of
  // StopWhenReady; a new TBCSystemClock when empty. Tests pass a
  // TBCManualClock.
  ComPtr<IReferenceClock> systemClock;
  // How long StopWhenReady waits for the renderers to cue.
  REFERENCE_TIME cueTimeout = 5 * UNITS;
};

ComPtr<IFilterGraph2> CreateFilterGraph(const FilterGraphOptions& options = {});

// Creates a framework object by class identifier: CLSID_FilterGraph,
// CLSID_SystemClock, CLSID_MemoryAllocator. REGDB_E_CLASSNOTREG otherwise.
HRESULT CreateFrameworkObject(REFCLSID clsid, REFIID riid, void** ppv);
