// The command line of velmora-town.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::town {

// The three land uses, in the order of the pictures.
enum LayerKind { kWorkers = 0, kWorkplaces = 1, kRetail = 2 };
constexpr int kLayerCount = 3;

struct LayerOption {
  std::string source;  // anything GDAL opens
  std::string field;   // value field of a vector layer; empty: every feature counts 1
};

struct Extent {
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  bool Intersects(const Extent& o) const {
    return xmin <= o.xmax && o.xmin <= xmax && ymin <= o.ymax && o.ymin <= ymax;
  }
};

struct Options {
  std::array<LayerOption, kLayerCount> layers;
  std::string out;
  std::optional<Extent> extent;
  std::string crs;  // empty: the workers source's
  int cellSize = 30;
  std::optional<int64_t> perUnit;        // workers and workplaces (and retail unless below)
  std::optional<int64_t> retailPerUnit;  // retail alone
  bool quiet = false;                    // no progress
  bool help = false;
  std::vector<std::string> arguments;  // as given, for the summary
};

// The option names as the user types them, by layer.
const char* SourceOptionName(LayerKind kind);
const char* FieldOptionName(LayerKind kind);
const char* LayerName(LayerKind kind);

// Parses argv; throws TownError naming the option at fault. With --help only `help` is set.
Options ParseOptions(int argc, const char* const* argv);

std::string UsageText();

// Largest cell size that leaves the drawing field at least one column.
constexpr int kMaxCellSize = 640;

}  // namespace velmora::town
