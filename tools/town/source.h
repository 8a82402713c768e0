// One input of velmora-town: a raster or the first layer of a vector dataset, opened with
// GDAL, checked, and summed into the grid's cells.
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grid.h"
#include "options.h"

namespace velmora::town {

// What reading a source found; the summary reports it.
struct LayerReport {
  std::string description;  // "raster 1000 x 1000 pixels (Float32)", "layer 'shops', 812 features"
  bool missed = false;      // the grid's area misses the source entirely: not read
  std::vector<double> cells;  // the sum in every cell, row-major
  double sourceTotal = 0;     // every valid pixel or feature of the source
  double inside = 0;          // the sum of the cells
  // Pixels or features that count 0.
  int64_t nodata = 0;     // raster nodata
  int64_t negative = 0;   // a negative count
  int64_t notNumber = 0;  // NaN or infinite
  int64_t noValue = 0;    // the value field is null or unset
  // Vector features by how they were placed.
  int64_t features = 0;
  int64_t points = 0;
  int64_t centroids = 0;
  int64_t noGeometry = 0;  // no geometry or an empty one: in the source total, in no cell
  double noGeometryValue = 0;
  // Pixels or points the transformation into the grid's CRS failed for: in the source total,
  // in no cell.
  int64_t untransformed = 0;
  double untransformedValue = 0;
  std::string method;  // how rasters were shared among the cells
};

class Source {
 public:
  // Opens and checks the source of one layer; throws TownError naming the option and file.
  Source(LayerKind kind, const LayerOption& option);
  ~Source();
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  bool IsRaster() const { return layer_ == nullptr; }
  // The source's CRS, axes in the traditional GIS order (x easting or longitude).
  const OGRSpatialReference& Crs() const { return crs_; }
  // "--workers 'pop.tif'": how messages name the source.
  const std::string& Label() const { return label_; }
  // The source's bounding box in a CRS; nothing when it is unknown (an empty layer) or cannot
  // be transformed.
  std::optional<Extent> BoundsIn(const OGRSpatialReference& target) const;
  // Sums the source into the grid's cells; `progress` shows GDAL's terminal progress.
  LayerReport Read(const Grid& grid, const OGRSpatialReference& target, bool progress) const;

 private:
  LayerReport ReadRaster(const Grid& grid, const OGRSpatialReference& target, bool progress) const;
  LayerReport ReadVector(const Grid& grid, const OGRSpatialReference& target, bool progress) const;
  std::optional<Extent> OwnBounds() const;
  [[noreturn]] void Fail(const std::string& what) const;

  LayerKind kind_;
  std::string path_;
  std::string label_;
  GDALDatasetUniquePtr dataset_;
  OGRLayer* layer_ = nullptr;  // the first layer of a vector source
  int fieldIndex_ = -1;        // the value field, or -1: every feature counts 1
  OGRSpatialReference crs_;
  double geoTransform_[6] = {0, 1, 0, 0, 0, 1};
};

// The CRS named by --crs, axes in the traditional GIS order; throws TownError.
OGRSpatialReference ParseCrs(const std::string& text);

// "ETRS89 / UTM zone 32N (EPSG:25832)".
std::string CrsName(const OGRSpatialReference& crs);

// GDAL's last error message on one line, or `fallback`.
std::string LastGdalError(const std::string& fallback);

}  // namespace velmora::town
