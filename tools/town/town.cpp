#include "town.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "counts.h"
#include "pictures.h"
#include "source.h"
#include "town_error.h"

namespace velmora::town {

namespace {

// A coordinate or a length: ten significant digits.
std::string Number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

// A total: whole when it is whole, else two decimals.
std::string Total(double v) {
  char text[64];
  if (std::fabs(v - std::round(v)) < 1e-6 * std::max(1.0, std::fabs(v)))
    std::snprintf(text, sizeof text, "%.0f", std::round(v));
  else
    std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

std::string ExtentText(const Extent& e) {
  return Number(e.xmin) + ", " + Number(e.ymin) + ", " + Number(e.xmax) + ", " + Number(e.ymax);
}

std::string Quoted(const std::string& s) {
  if (!s.empty() && s.find_first_of(" \t'\"\\$`*?;&|<>()") == std::string::npos) return s;
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct PerUnit {
  int64_t n;
  std::string how;
};

std::string LayerSummary(LayerKind kind, const Source& source, const LayerOption& option,
                         const LayerReport& r, const Counts& counts, const PerUnit& perUnit) {
  std::ostringstream s;
  s << LayerName(kind) << ": " << option.source << "\n";
  s << "  source:                " << r.description;
  if (!option.field.empty()) s << ", value field '" << option.field << "'";
  s << ", " << CrsName(source.Crs()) << "\n";
  if (r.missed) {
    s << "  not read:              the grid's area misses it entirely\n";
  } else {
    s << "  total in the source:   " << Total(r.sourceTotal) << "\n";
    s << "  inside the grid:       " << Total(r.inside) << "\n";
  }
  s << "  in the picture:        " << counts.total << " units of " << perUnit.n << " = "
    << Total(static_cast<double>(counts.total) * static_cast<double>(perUnit.n)) << " ("
    << PictureFileName(kind) << ", " << ChannelName(kind) << " channel)\n";
  s << "  per unit N:            " << perUnit.n << " (" << perUnit.how << ")\n";
  s << "  cells clipped at 255:  " << counts.clipped << "\n";
  if (source.IsRaster()) {
    if (!r.missed) s << "  sharing:               " << r.method << "\n";
    s << "  pixels counted as 0:   " << r.nodata << " nodata, " << r.negative << " negative, "
      << r.notNumber << " not a number\n";
  } else {
    s << "  features placed:       " << r.points << " points, " << r.centroids
      << " at their centroid\n";
    s << "  features counted as 0: " << r.noValue << " without a value, " << r.negative
      << " negative, " << r.notNumber << " not a number\n";
    if (r.noGeometry > 0)
      s << "  without a location:    " << r.noGeometry << " features holding "
        << Total(r.noGeometryValue) << " (in the source total, in no cell)\n";
  }
  if (r.untransformed > 0)
    s << "  not transformable:     " << r.untransformed
      << (source.IsRaster() ? " pixels" : " points") << " holding " << Total(r.untransformedValue)
      << " (in the source total, in no cell)\n";
  return s.str();
}

}  // namespace

void RunTown(const Options& options, std::ostream& out, std::ostream& warnings) {
  CheckOutputFolder(options.out);

  std::array<std::unique_ptr<Source>, kLayerCount> sources;
  for (int k = 0; k < kLayerCount; ++k)
    sources[k] = std::make_unique<Source>(static_cast<LayerKind>(k), options.layers[k]);
  const Source& workers = *sources[kWorkers];

  const OGRSpatialReference crs = options.crs.empty() ? workers.Crs() : ParseCrs(options.crs);
  std::string extentFrom = "given with --extent";
  Extent extent;
  if (options.extent) {
    extent = *options.extent;
  } else {
    const std::optional<Extent> bounds = workers.BoundsIn(crs);
    if (!bounds)
      throw TownError(workers.Label() +
                      ": its extent is unknown or cannot be brought into the grid's CRS; give "
                      "--extent");
    if (!(bounds->xmax > bounds->xmin) || !(bounds->ymax > bounds->ymin))
      throw TownError(workers.Label() + ": its extent (" + ExtentText(*bounds) +
                      ") has no area; give --extent");
    extent = *bounds;
    extentFrom = "the workers source's";
  }
  const Grid grid = Grid::Make(options.cellSize, extent);
  const Extent area = grid.Area();

  // A source whose bounds miss the grid's area is not read; missing all three is an error.
  std::array<bool, kLayerCount> missed{};
  int missedCount = 0;
  for (int k = 0; k < kLayerCount; ++k) {
    const std::optional<Extent> bounds = sources[k]->BoundsIn(crs);
    missed[k] = bounds && !bounds->Intersects(area);
    missedCount += missed[k];
  }
  if (missedCount == kLayerCount)
    throw TownError(std::string(options.extent ? "--extent" : "the extent") + " (" +
                    ExtentText(extent) + ", " + CrsName(crs) + ") misses all three sources");
  for (int k = 0; k < kLayerCount; ++k)
    if (missed[k])
      warnings << "velmora-town: warning: the grid's area (" << ExtentText(area) << ") misses "
               << sources[k]->Label() << " entirely; " << PictureFileName(static_cast<LayerKind>(k))
               << " stays white" << std::endl;
  if (crs.IsGeographic())
    warnings << "velmora-town: warning: the grid's CRS is geographic, so the cells are square in "
                "degrees, not on the ground; give --crs a projected CRS (such as the UTM zone)"
             << std::endl;

  std::array<LayerReport, kLayerCount> reports;
  for (int k = 0; k < kLayerCount; ++k) {
    if (missed[k]) {
      reports[k].missed = true;
      reports[k].cells.assign(grid.CellCount(), 0.0);
      reports[k].description = sources[k]->IsRaster() ? "raster" : "vector layer";
      continue;
    }
    if (!options.quiet)
      out << "Reading " << LayerName(static_cast<LayerKind>(k)) << " from "
          << options.layers[k].source << ": " << std::flush;
    reports[k] = sources[k]->Read(grid, crs, !options.quiet);
  }

  // People per unit: one N for workers and workplaces, its own for retail.
  PerUnit jobs, shops;
  if (options.perUnit) {
    jobs = {*options.perUnit, "given with --per-unit"};
  } else {
    jobs = {AutomaticPerUnit({&reports[kWorkers].cells, &reports[kWorkplaces].cells}),
            "automatic: the smallest that keeps every cell of workers and workplaces at most "
            "255"};
  }
  if (options.retailPerUnit)
    shops = {*options.retailPerUnit, "given with --retail-per-unit"};
  else if (options.perUnit)
    shops = {*options.perUnit, "given with --per-unit"};
  else
    shops = {AutomaticPerUnit({&reports[kRetail].cells}),
             "automatic: the smallest that keeps every retail cell at most 255"};
  const std::array<PerUnit, kLayerCount> perUnit = {jobs, jobs, shops};
  std::array<Counts, kLayerCount> counts;
  for (int k = 0; k < kLayerCount; ++k) counts[k] = MakeCounts(reports[k].cells, perUnit[k].n);

  std::ostringstream summary;
  summary << "Velmora town made by velmora-town\n";
  summary << "  velmora-town";
  for (const std::string& a : options.arguments) summary << " " << Quoted(a);
  summary << "\n\n";
  summary << "Grid:      " << grid.cols << " columns x " << grid.rows << " rows at cell size "
          << grid.cellSize << " (pictures of " << grid.PixelWidth() << " x " << grid.PixelHeight()
          << " pixels)\n";
  summary << "CRS:       " << CrsName(crs) << "\n";
  summary << "Extent:    " << ExtentText(extent) << " (" << extentFrom << ")\n";
  summary << "Grid area: " << ExtentText(area) << "\n";
  const char* unit = nullptr;
  if (crs.IsProjected())
    crs.GetLinearUnits(&unit);
  else if (crs.IsGeographic())
    crs.GetAngularUnits(&unit);
  summary << "One cell:  " << Number(grid.side) << " x " << Number(grid.side) << " "
          << (unit ? unit : "units") << " on the ground\n\n";
  for (int k = 0; k < kLayerCount; ++k)
    summary << LayerSummary(static_cast<LayerKind>(k), *sources[k], options.layers[k], reports[k],
                            counts[k], perUnit[k])
            << (k + 1 < kLayerCount ? "\n" : "");
  for (int k = 0; k < kLayerCount; ++k)
    if (!reports[k].missed && reports[k].inside > 0 && counts[k].total == 0)
      warnings << "velmora-town: warning: every " << LayerName(static_cast<LayerKind>(k))
               << " cell rounds to 0 at " << perUnit[k].n << " per unit; "
               << PictureFileName(static_cast<LayerKind>(k)) << " is white" << std::endl;

  std::vector<std::pair<std::string, std::string>> files;
  for (int k = 0; k < kLayerCount; ++k)
    files.emplace_back(PictureFileName(static_cast<LayerKind>(k)),
                       EncodeBitmap(grid, counts[k].cells, static_cast<LayerKind>(k)));
  files.emplace_back("town.txt", summary.str());
  WriteTogether(options.out, files);

  out << "\n" << summary.str();
}

}  // namespace velmora::town
