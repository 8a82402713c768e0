#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>

#include "grid.h"
#include "town_error.h"

namespace velmora::town {

namespace {

constexpr std::array<const char*, kLayerCount> kSourceOptions = {"--workers", "--workplaces",
                                                                 "--retail"};
constexpr std::array<const char*, kLayerCount> kFieldOptions = {
    "--workers-field", "--workplaces-field", "--retail-field"};
constexpr std::array<const char*, kLayerCount> kLayerNames = {"workers", "workplaces", "retail"};

// A whole number in [low, high] written in decimal digits only (an optional leading '+').
std::optional<int64_t> ParseWhole(const std::string& text, int64_t low, int64_t high) {
  size_t i = text.size() > 1 && text[0] == '+' ? 1 : 0;
  if (i == text.size() || text.size() - i > 18) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value))
    return std::nullopt;
  return value;
}

Extent ParseExtent(const std::string& text) {
  const std::string bad = "--extent: '" + text + "' is not XMIN,YMIN,XMAX,YMAX";
  std::array<double, 4> v{};
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = text.find(',', start);
    if ((comma == std::string::npos) != (i == 3)) throw TownError(bad);
    std::string part = text.substr(start, comma == std::string::npos ? comma : comma - start);
    while (!part.empty() && part.front() == ' ') part.erase(part.begin());
    while (!part.empty() && part.back() == ' ') part.pop_back();
    const std::optional<double> number = ParseNumber(part);
    if (!number) throw TownError(bad);
    v[i] = *number;
    start = comma + 1;
  }
  if (!(v[2] > v[0]) || !(v[3] > v[1]))
    throw TownError("--extent: '" + text + "' is empty (XMAX must exceed XMIN, YMAX YMIN)");
  return Extent{v[0], v[1], v[2], v[3]};
}

}  // namespace

const char* SourceOptionName(LayerKind kind) {
  return kSourceOptions[kind];
}
const char* FieldOptionName(LayerKind kind) {
  return kFieldOptions[kind];
}
const char* LayerName(LayerKind kind) {
  return kLayerNames[kind];
}

std::string UsageText() {
  return "usage: velmora-town --workers SOURCE --workplaces SOURCE --retail SOURCE --out DIR\n"
         "                    [--workers-field NAME] [--workplaces-field NAME]\n"
         "                    [--retail-field NAME] [--extent XMIN,YMIN,XMAX,YMAX] [--crs CRS]\n"
         "                    [--cell-size N] [--per-unit N] [--retail-per-unit N] [--quiet]\n"
         "\n"
         "Turns population, employment and shop data into Velmora's three land-use pictures\n"
         "(arbeiter.bmp, arbeitsstaetten.bmp, verkaufsflaechen.bmp) and a summary, town.txt,\n"
         "written into DIR (an existing folder) only when all of them are complete.\n"
         "\n"
         "  --workers, --workplaces, --retail SOURCE\n"
         "        any raster or vector dataset GDAL opens. A raster's band 1 is a count per\n"
         "        pixel (nodata, negative and NaN pixels count 0); a vector dataset's first\n"
         "        layer counts 1 per point (a polygon or line at its centroid).\n"
         "  --workers-field, --workplaces-field, --retail-field NAME\n"
         "        numeric field of the vector layer that gives each feature's count.\n"
         "  --crs CRS    CRS of the extent and of the grid (e.g. EPSG:32632); default: the\n"
         "               workers source's. Every source is transformed into it.\n"
         "  --extent XMIN,YMIN,XMAX,YMAX\n"
         "               the area in that CRS; default: the workers source's extent. The\n"
         "               grid's top-left corner is (XMIN,YMAX); its square cells cover the\n"
         "               extent and may reach beyond it to the east or the south.\n"
         "  --cell-size N  Velmora's cell scale, 1 to 640 (default 30): the grid is\n"
         "               floor(640/N) columns by floor(666/N) rows.\n"
         "  --per-unit N   people (or jobs, shops) per unit of a cell's count (default: the\n"
         "               smallest N that keeps every cell at most 255; one N for workers and\n"
         "               workplaces, so their ratio holds, and one of its own for retail).\n"
         "  --retail-per-unit N  the same for retail alone (default: --per-unit or automatic).\n"
         "  --quiet      no progress output while reading.\n"
         "  --help       this text.\n";
}

Options ParseOptions(int argc, const char* const* argv) {
  Options options;
  for (int i = 1; i < argc; ++i) options.arguments.emplace_back(argv[i]);
  std::map<std::string, std::string> given;
  for (size_t i = 0; i < options.arguments.size(); ++i) {
    std::string name = options.arguments[i];
    std::optional<std::string> value;
    if (name == "--help" || name == "-h") {
      options.help = true;
      return options;
    }
    if (name.rfind("--", 0) != 0)
      throw TownError("unexpected argument '" + name + "' (see --help)");
    const size_t equals = name.find('=');
    if (equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.erase(equals);
    }
    if (name == "--quiet") {
      if (value) throw TownError("--quiet takes no value");
      options.quiet = true;
      continue;
    }
    static const std::array<const char*, 12> kValued = {
        "--workers",      "--workplaces",     "--retail",   "--out",           "--extent",
        "--crs",          "--cell-size",      "--per-unit", "--workers-field", "--workplaces-field",
        "--retail-field", "--retail-per-unit"};
    bool known = false;
    for (const char* k : kValued) known = known || name == k;
    if (!known) throw TownError("unknown option '" + name + "' (see --help)");
    if (!value) {
      if (i + 1 >= options.arguments.size()) throw TownError(name + " needs a value");
      value = options.arguments[++i];
    }
    if (!given.emplace(name, *value).second) throw TownError(name + " is given twice");
  }

  auto take = [&](const std::string& name) -> std::optional<std::string> {
    auto it = given.find(name);
    if (it == given.end()) return std::nullopt;
    return it->second;
  };
  for (int k = 0; k < kLayerCount; ++k) {
    const std::optional<std::string> source = take(kSourceOptions[k]);
    if (!source || source->empty())
      throw TownError(std::string(kSourceOptions[k]) + " SOURCE is missing (see --help)");
    options.layers[k].source = *source;
    if (const auto field = take(kFieldOptions[k])) {
      if (field->empty()) throw TownError(std::string(kFieldOptions[k]) + ": the name is empty");
      options.layers[k].field = *field;
    }
  }
  const std::optional<std::string> out = take("--out");
  if (!out || out->empty()) throw TownError("--out DIR is missing (see --help)");
  options.out = *out;
  if (const auto crs = take("--crs")) {
    if (crs->empty()) throw TownError("--crs: the CRS is empty");
    options.crs = *crs;
  }
  if (const auto extent = take("--extent")) options.extent = ParseExtent(*extent);
  if (const auto size = take("--cell-size")) {
    const std::optional<int64_t> n = ParseWhole(*size, 1, kMaxCellSize);
    if (!n) {
      const std::optional<int64_t> any = ParseWhole(*size, 1, kFieldHeight);
      if (any)
        throw TownError("--cell-size: " + *size + " leaves the drawing field (" +
                        std::to_string(kFieldWidth) + " pixels wide) without a column; use 1 to " +
                        std::to_string(kMaxCellSize));
      throw TownError("--cell-size: '" + *size + "' is not a whole number from 1 to " +
                      std::to_string(kMaxCellSize));
    }
    options.cellSize = static_cast<int>(*n);
  }
  auto perUnit = [&](const char* name) -> std::optional<int64_t> {
    const auto text = take(name);
    if (!text) return std::nullopt;
    const std::optional<int64_t> n = ParseWhole(*text, 1, 1000000000000LL);
    if (!n) throw TownError(std::string(name) + ": '" + *text + "' is not a positive whole number");
    return n;
  };
  options.perUnit = perUnit("--per-unit");
  options.retailPerUnit = perUnit("--retail-per-unit");
  return options;
}

}  // namespace velmora::town
