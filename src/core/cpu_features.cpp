#include "core/cpu_features.h"

namespace velmora {

namespace {

bool HasAvx2() {
#if defined(__x86_64__) && defined(__GNUC__)
  // The flags are read explicitly: this may run while static objects are constructed, before
  // the library's own initialisation of them.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

}  // namespace

// Chosen while static objects are constructed. Before that it is zero, which every kernel takes
// as the plain width, so a kernel called from another static object's construction still gives
// its answer.
int cpu_detail::kernelLanes = WidestLanes();

bool CpuRunsLanes(int lanes) {
  switch (lanes) {
    case 1:
      return true;
#if defined(__x86_64__)
    case 4:
      return true;  // SSE2 is part of every x86-64 processor
    case 8: {
      static const bool avx2 = HasAvx2();
      return avx2;
    }
#endif
    default:
      return false;
  }
}

int WidestLanes() {
  int widest = 1;
  for (int lanes : kKernelWidths)
    if (CpuRunsLanes(lanes)) widest = lanes;
  return widest;
}

bool SetKernelLanes(int lanes) {
  if (!CpuRunsLanes(lanes)) return false;
  cpu_detail::kernelLanes = lanes;
  return true;
}

}  // namespace velmora
