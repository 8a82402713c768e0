// What the processor offers the vector kernels, read once, and the one setting that chooses
// their width.
//
// Every kernel of the program is built in the widths it comes in, counted in 32-bit lanes:
// 1 (plain C++, built and run on every machine), 4 (SSE2, every x86-64 processor) and 8 (AVX2).
// At start the kernels take the widest width the processor runs; tests set each width in turn
// and skip, saying so, a width the processor does not have.
#pragma once

namespace velmora {

// The widths a kernel may have, narrowest first.
inline constexpr int kKernelWidths[] = {1, 4, 8};

// Whether this build has kernels of that width and the processor runs them.
bool CpuRunsLanes(int lanes);
// The widest width the processor runs.
int WidestLanes();

namespace cpu_detail {
// The width in force; read inline by every kernel call, so it is a plain variable.
extern int kernelLanes;
}  // namespace cpu_detail

// The width the kernels take now.
inline int KernelLanes() {
  return cpu_detail::kernelLanes;
}
// Chooses the kernels' width. False, with nothing changed, for a width the processor cannot
// run (or that this build has no kernels of).
bool SetKernelLanes(int lanes);

}  // namespace velmora
