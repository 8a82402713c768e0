// velmora-town: population, employment and shop data, rasters or vector layers in any CRS,
// into Velmora's three land-use pictures. See docs/town.md.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <new>

#include "options.h"
#include "town.h"
#include "town_error.h"

int main(int argc, char** argv) {
  using namespace velmora::town;
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const TownError& e) {
    std::cerr << "velmora-town: " << e.what() << std::endl;
    return 1;
  }
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }

  const auto start = std::chrono::steady_clock::now();
  GDALAllRegister();
  // GDAL's own messages would add lines to standard error; the tool reports the last one in
  // its single line instead.
  CPLSetErrorHandler(CPLQuietErrorHandler);
  // Rasters are read in chunks of whole blocks, each once: a small block cache is enough, and
  // keeps the peak memory that of the chunks.
  GDALSetCacheMax64(int64_t{32} << 20);

  int status = 0;
  try {
    RunTown(options, std::cout, std::cerr);
  } catch (const TownError& e) {
    std::cout << std::flush;
    std::cerr << "velmora-town: " << e.what() << std::endl;
    status = 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "velmora-town: out of memory" << std::endl;
    status = 1;
  }
  GDALDestroyDriverManager();
  OGRCleanupAll();
  OSRCleanup();

  if (status == 0) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("\nDone in %.2f s; peak memory %.0f MB.\n", seconds, usage.ru_maxrss / 1024.0);
  }
  return status;
}
