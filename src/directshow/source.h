#pragma once
// TBCSource and TBCSourceStream: a filter whose output pins push samples,
// each pin on its own streaming thread.
//
// A TBCSourceStream starts its thread when the filter leaves the stopped
// state (Active) and stops it when the filter stops (Inactive): the request
// is flagged, the allocator decommitted (a GetDeliveryBuffer in progress
// fails at once) and the thread joined. The thread runs:
//   OnThreadCreate -> OnThreadStartPlay -> DoBufferProcessingLoop ->
//   OnThreadDestroy
// and the loop repeats GetDeliveryBuffer -> FillBuffer -> Deliver until a
// stop is requested. FillBuffer answers S_OK (deliver the sample), S_FALSE
// (end of stream: the sample is dropped and DeliverEndOfStream sent) or a
// failure (EC_ERRORABORT to the graph, then end of stream). When downstream
// refuses a sample (S_FALSE while flushing, or a failure) the thread stops
// delivering and waits for its stop. Any other success code goes on.
//
// | Hook                   | Thread, locks held      | Base behaviour                    |
// | FillBuffer(sample)     | streaming, none         | pure                              |
// | OnThreadCreate()       | streaming, none         | S_OK                              |
// | OnThreadStartPlay()    | streaming, none         | DeliverNewSegment of the seeking  |
// |                        |                         | segment (when seeking is enabled) |
// | OnThreadDestroy()      | streaming, none         | S_OK                              |
// | GetMediaType,          | app, filter             | as TBCBaseOutputPin               |
// | CheckMediaType,        |                         |                                   |
// | DecideBufferSize       |                         |                                   |
//
// Seeking: a source made seekable with EnableSeeking answers IMediaSeeking
// on each of its pins through one TBCSourceSeeking. A change of the start
// position restarts every running stream (RestartStreams): begin flush on
// every pin, stop every thread, end flush, start the threads again, which
// deliver NewSegment and samples from the new position.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "directshow/base_filter.h"
#include "directshow/output_pin.h"

class TBCSource;
class TBCSourceSeeking;

class TBCSourceStream : public TBCBaseOutputPin {
 public:
  TBCSourceStream(std::string objectName, TBCSource* source, std::string pinName);
  ~TBCSourceStream() override;

  // IMediaSeeking through the source's TBCSourceSeeking, when enabled.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Hooks
  virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
  virtual HRESULT OnThreadCreate();
  virtual HRESULT OnThreadDestroy();
  virtual HRESULT OnThreadStartPlay();
  virtual HRESULT DoBufferProcessingLoop();

  // TBCBasePin hooks: start and stop the streaming thread.
  HRESULT Active() override;
  HRESULT Inactive() override;

  // Whether the thread is asked to end; FillBuffer may poll it while it
  // works for long.
  bool StopRequested() const { return fStopRequested.load(std::memory_order_acquire); }
  bool ThreadExists() const { return fThread.joinable(); }

 protected:
  // Blocks until the thread is asked to end (for loops that stop delivering).
  void WaitForStopRequest();

  TBCSource* const fSource;

 private:
  friend class TBCSource;
  HRESULT StartThread();
  void StopThread();
  void ThreadProc();

  std::thread fThread;
  std::atomic<bool> fStopRequested{false};
  std::mutex fStopLock;
  std::condition_variable fStopCond;
};

class TBCSource : public TBCBaseFilter {
 public:
  ~TBCSource() override;

  // The shared seeking object, or null when the source does not seek.
  TBCSourceSeeking* Seeking() const { return fSeeking.get(); }
  // Flushes and restarts every running stream (see above). Application
  // thread; takes the filter lock. When stopped only OnPositionChange runs.
  HRESULT RestartStreams();

 protected:
  TBCSource(std::string objectName, const CLSID& clsid);
  // Makes the source seekable with the given seeking object (usually a
  // TBCSourceSeeking, or a subclass of it for key frames and rate).
  void EnableSeeking(std::unique_ptr<TBCSourceSeeking> seeking);
  // Hook: called by RestartStreams while no streaming thread runs (every one
  // stopped and flushed downstream, or the filter stopped), before the
  // streams start again from Seeking()->StartPosition(): the place to move a
  // shared reader (a demuxer) to the new position. Application thread,
  // filter lock held. Base: S_OK.
  virtual HRESULT OnPositionChange();

 private:
  std::unique_ptr<TBCSourceSeeking> fSeeking;
};
