#pragma once
// Stream generations: how the framework keeps data from before a flush (a
// seek) away from the filters after it.
//
// Generations are one process-wide increasing counter. Every sample taken
// from a TBCMemAllocator is stamped with a fresh generation when GetBuffer
// hands it out; a filter that makes an output sample from an input sample
// copies the input's generation (TBCTransformFilter does so in
// InitializeOutputSample), so a sample's generation says when the data it
// carries entered the graph. Every input pin takes a fresh generation when
// it ends a flush (TBCBaseInputPin::EndFlush) and drops, in Receive, each
// sample whose generation is older: data read before the seek can never
// reach a renderer after it, even when a filter held it in a queue across
// the flush. Samples from allocators without the tag are always accepted.

#include <optional>

#include "directshow/filter_interfaces.h"

namespace ds {

// A generation newer than every one handed out before.
ULONGLONG NewGeneration();
// The sample's generation; nullopt when it carries none.
std::optional<ULONGLONG> SampleGeneration(IMediaSample* sample);
// False when the sample cannot carry one.
bool SetSampleGeneration(IMediaSample* sample, ULONGLONG generation);
// Gives `to` the generation of `from` (when both support it).
void CopySampleGeneration(IMediaSample* from, IMediaSample* to);

}  // namespace ds
