// velmora-town's whole run: the sources into the three pictures and the summary.
#pragma once

#include <ostream>

#include "options.h"

namespace velmora::town {

// Reads the sources, writes the pictures and town.txt into options.out and prints the summary
// to `out`; warnings go to `warnings`, one line each. Throws TownError on bad input, having
// written nothing. GDAL must be set up (main does it).
void RunTown(const Options& options, std::ostream& out, std::ostream& warnings);

}  // namespace velmora::town
