#pragma once
// One pass of a level step over its chunks of lines, on the calling thread and the
// workspace's helper threads.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tesora {

class TransformWorkspace;

// compute(k, in, out, scratch, words) may run on any thread with scratch `in`, `out` and
// `scratch` (words) of its own; it reads and writes only chunk k's lines of the matrix
// (chunks are disjoint lines) and leaves the chunk's grey words in `words`, or paints
// them into the picture itself where `words` is null (the calling thread's own chunks).
// finish(k, words) runs on the calling thread in chunk order, so the picture and the
// status texts see exactly the sequence of a serial pass.
using PassCompute = std::function<void(std::size_t, double*, double*, std::uint32_t*, std::uint32_t*)>;
using PassFinish = std::function<void(std::size_t, const std::uint32_t*)>;
void RunPass(std::size_t lines, TransformWorkspace& workspace, const PassCompute& compute, const PassFinish& finish);

}  // namespace tesora
