#include "source.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_alg.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "area_share.h"
#include "town_error.h"

namespace velmora::town {

namespace {

// Pixels a raster read brings in at once (as doubles: 16 MB), whole blocks of the file.
constexpr int64_t kChunkPixels = int64_t{1} << 21;
// Points transformed per call (each exactly, on its own).
constexpr size_t kPointBatch = 4096;
// How far the approximate transformation of a raster's pixel corners may stray, as a share of
// a pixel's size in the grid's CRS.
constexpr double kCornerTolerance = 1e-3;

using TransformPtr = std::unique_ptr<OGRCoordinateTransformation>;

// A transformation between two CRSs, or nothing when they are the same.
TransformPtr MakeTransform(const OGRSpatialReference& from, const OGRSpatialReference& to,
                           const std::string& label) {
  if (from.IsSame(&to)) return nullptr;
  CPLErrorReset();
  TransformPtr t(OGRCreateCoordinateTransformation(&from, &to));
  if (!t)
    throw TownError(label + ": no transformation from its CRS (" + CrsName(from) +
                    ") into the grid's (" + CrsName(to) + "): " + LastGdalError("unknown"));
  return t;
}

std::string FormatCount(int64_t n) {
  return std::to_string(n);
}

// Sorts a value into the counters of the pixels and features that count 0; true when it counts.
bool Valid(double value, LayerReport& r) {
  if (!std::isfinite(value)) {
    ++r.notNumber;
    return false;
  }
  if (value < 0) {
    ++r.negative;
    return false;
  }
  return true;
}

void Progress(bool show, double done) {
  if (show) GDALTermProgress(std::min(1.0, done), nullptr, nullptr);
}

// The raw transformation for GDAL's approximating transformer: an OGR transformation, each
// point exactly.
int TransformPoints(void* arg, int dstToSrc, int count, double* x, double* y, double* z, int* ok) {
  auto* t = static_cast<OGRCoordinateTransformation*>(arg);
  if (dstToSrc) return FALSE;
  return t->Transform(count, x, y, z, ok) ? TRUE : FALSE;
}

// GDAL's approximating transformer over an OGR transformation: along a row of points it
// transforms the two ends and the middle exactly and interpolates between them when the middle
// lies within the tolerance of the interpolation, else halves the row and tries again.
class ApproxTransform {
 public:
  ApproxTransform(OGRCoordinateTransformation* exact, double maxError)
      : handle_(GDALCreateApproxTransformer(TransformPoints, exact, maxError)) {}
  ~ApproxTransform() { GDALDestroyApproxTransformer(handle_); }
  ApproxTransform(const ApproxTransform&) = delete;
  ApproxTransform& operator=(const ApproxTransform&) = delete;
  void Run(int count, double* x, double* y, double* z, int* ok) {
    if (!GDALApproxTransform(handle_, FALSE, count, x, y, z, ok)) std::fill(ok, ok + count, FALSE);
  }

 private:
  void* handle_;
};

}  // namespace

std::string LastGdalError(const std::string& fallback) {
  std::string message = CPLGetLastErrorMsg();
  if (message.empty()) return fallback;
  std::replace(message.begin(), message.end(), '\n', ' ');
  return message;
}

std::string CrsName(const OGRSpatialReference& crs) {
  std::string name = crs.GetName() ? crs.GetName() : "unnamed CRS";
  const char* authority = crs.GetAuthorityName(nullptr);
  const char* code = crs.GetAuthorityCode(nullptr);
  if (authority && code) name += std::string(" (") + authority + ":" + code + ")";
  return name;
}

OGRSpatialReference ParseCrs(const std::string& text) {
  OGRSpatialReference crs;
  // Codes, WKT, PROJ strings and .prj files; never the network.
  const char* const options[] = {"ALLOW_NETWORK_ACCESS=NO", nullptr};
  CPLErrorReset();
  if (crs.SetFromUserInput(text.c_str(), options) != OGRERR_NONE || crs.IsEmpty())
    throw TownError("--crs: '" + text +
                    "' is not a CRS GDAL knows: " + LastGdalError("not recognised"));
  crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return crs;
}

void Source::Fail(const std::string& what) const {
  throw TownError(label_ + ": " + what);
}

Source::Source(LayerKind kind, const LayerOption& option)
    : kind_(kind),
      path_(option.source),
      label_(std::string(SourceOptionName(kind)) + " '" + option.source + "'") {
  CPLErrorReset();
  dataset_.reset(
      GDALDataset::Open(path_.c_str(), GDAL_OF_RASTER | GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!dataset_) {
    VSIStatBufL st;
    if (VSIStatL(path_.c_str(), &st) != 0) Fail("no such file");
    Fail("cannot be read: " + LastGdalError("not a format GDAL reads"));
  }
  const OGRSpatialReference* crs = nullptr;
  if (dataset_->GetRasterCount() > 0) {
    if (!option.field.empty())
      throw TownError(std::string(FieldOptionName(kind)) + ": " + label_ +
                      " is a raster; a field applies only to a vector layer");
    if (dataset_->GetGeoTransform(geoTransform_) != CE_None)
      Fail(
          "has no georeferencing (no geotransform); place it with gdal_translate -a_ullr or "
          "gdalwarp first");
    crs = dataset_->GetSpatialRef();
  } else if (dataset_->GetLayerCount() > 0) {
    layer_ = dataset_->GetLayer(0);
    if (!option.field.empty()) {
      OGRFeatureDefn* definition = layer_->GetLayerDefn();
      fieldIndex_ = definition->GetFieldIndex(option.field.c_str());
      if (fieldIndex_ < 0) {
        std::string names;
        for (int i = 0; i < definition->GetFieldCount(); ++i)
          names +=
              std::string(names.empty() ? "" : ", ") + definition->GetFieldDefn(i)->GetNameRef();
        throw TownError(std::string(FieldOptionName(kind)) + ": layer '" + layer_->GetName() +
                        "' of '" + path_ + "' has no field '" + option.field +
                        "' (its fields: " + (names.empty() ? "none" : names) + ")");
      }
      const OGRFieldType type = definition->GetFieldDefn(fieldIndex_)->GetType();
      if (type != OFTInteger && type != OFTInteger64 && type != OFTReal)
        throw TownError(std::string(FieldOptionName(kind)) + ": field '" + option.field + "' of '" +
                        path_ + "' is not numeric (" + OGRFieldDefn::GetFieldTypeName(type) + ")");
    }
    crs = layer_->GetSpatialRef();
  } else {
    // A container of several rasters (NetCDF, HDF): the user names one.
    const char* first =
        CSLFetchNameValue(dataset_->GetMetadata("SUBDATASETS"), "SUBDATASET_1_NAME");
    if (first) Fail(std::string("holds several rasters; name one, such as '") + first + "'");
    Fail("holds neither a raster band nor a vector layer");
  }
  if (crs == nullptr || crs->IsEmpty())
    Fail(
        "has no coordinate reference system, and none is guessed; assign it one (gdal_translate "
        "-a_srs or ogr2ogr -a_srs)");
  crs_ = *crs;
  crs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
}

Source::~Source() = default;

std::optional<Extent> Source::OwnBounds() const {
  if (IsRaster()) {
    const double* gt = geoTransform_;
    const double w = dataset_->GetRasterXSize(), h = dataset_->GetRasterYSize();
    Extent e{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
             std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
    for (const auto& [px, py] :
         std::array<std::pair<double, double>, 4>{{{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}}}) {
      const double x = gt[0] + px * gt[1] + py * gt[2];
      const double y = gt[3] + px * gt[4] + py * gt[5];
      e = Extent{std::min(e.xmin, x), std::min(e.ymin, y), std::max(e.xmax, x),
                 std::max(e.ymax, y)};
    }
    return e;
  }
  OGREnvelope envelope;
  if (layer_->GetExtent(&envelope, TRUE) != OGRERR_NONE) return std::nullopt;
  return Extent{envelope.MinX, envelope.MinY, envelope.MaxX, envelope.MaxY};
}

std::optional<Extent> Source::BoundsIn(const OGRSpatialReference& target) const {
  const std::optional<Extent> own = OwnBounds();
  if (!own) return std::nullopt;
  CPLErrorReset();
  TransformPtr t;
  try {
    t = MakeTransform(crs_, target, label_);
  } catch (const TownError&) {
    return std::nullopt;
  }
  if (!t) return own;
  Extent e;
  if (!t->TransformBounds(own->xmin, own->ymin, own->xmax, own->ymax, &e.xmin, &e.ymin, &e.xmax,
                          &e.ymax, 21))
    return std::nullopt;
  return e;
}

LayerReport Source::Read(const Grid& grid, const OGRSpatialReference& target, bool progress) const {
  LayerReport report =
      IsRaster() ? ReadRaster(grid, target, progress) : ReadVector(grid, target, progress);
  for (double s : report.cells) report.inside += s;
  return report;
}

// ---- Rasters. ----
//
// Every pixel's count is spread evenly over the pixel's area and shared among the cells by the
// part of that area inside each, so the cells together hold exactly what lies inside the grid.
//
// When the raster is in the grid's CRS and north up, a pixel is an axis-parallel rectangle
// there, and its share of a cell is the product of the overlap fractions of its column and its
// row: exact up to the rounding of doubles.
//
// Otherwise each pixel becomes the quadrilateral of its four corners transformed into the
// grid's CRS, clipped against the cells. The edges are taken straight between the corners
// (over a pixel the curvature of a map projection moves them by far less than a millionth of
// the pixel's size), and the corners come from GDAL's approximating transformer, which stays
// within a thousandth of a pixel of the exact transformation. So a cell's share of a pixel
// its edge crosses is off by at most about half a percent of that pixel's count, moved to the
// neighbouring cell; the shares of every pixel still add up to exactly one, and the totals are
// conserved as in the first case.

LayerReport Source::ReadRaster(const Grid& grid, const OGRSpatialReference& target,
                               bool progress) const {
  LayerReport report;
  report.cells.assign(grid.CellCount(), 0.0);
  GDALRasterBand* band = dataset_->GetRasterBand(1);
  const int width = dataset_->GetRasterXSize(), height = dataset_->GetRasterYSize();
  report.description = "raster " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels (" + GDALGetDataTypeName(band->GetRasterDataType()) +
                       "), band 1 of " + std::to_string(dataset_->GetRasterCount());
  int hasNodata = FALSE;
  const double nodata = band->GetNoDataValue(&hasNodata);
  const bool nodataIsNan = hasNodata && std::isnan(nodata);
  const double* gt = geoTransform_;

  const TransformPtr toGrid = MakeTransform(crs_, target, label_);
  const bool separable = !toGrid && gt[2] == 0 && gt[4] == 0;

  // The pixels that can reach the grid: all of them, unless the grid's area brought into the
  // raster's CRS and pixel space says less (every pixel is still read for the source total).
  int wx0 = 0, wy0 = 0, wx1 = width, wy1 = height;
  std::unique_ptr<ApproxTransform> approx;
  if (!separable) {
    report.method = toGrid ? "pixel corners transformed, cells share pixels by area"
                           : "cells share the (rotated) pixels by area";
    if (toGrid) {
      const Extent a = grid.Area();
      double inverse[6];
      TransformPtr back(OGRCreateCoordinateTransformation(&target, &crs_));
      Extent s;
      // Bounds across the antimeridian (xmax < xmin) or not finite leave the whole raster.
      if (back && GDALInvGeoTransform(const_cast<double*>(gt), inverse) &&
          back->TransformBounds(a.xmin, a.ymin, a.xmax, a.ymax, &s.xmin, &s.ymin, &s.xmax, &s.ymax,
                                21) &&
          s.xmin <= s.xmax && s.ymin <= s.ymax && std::isfinite(s.xmax - s.xmin) &&
          std::isfinite(s.ymax - s.ymin)) {
        double pxmin = 1e300, pxmax = -1e300, pymin = 1e300, pymax = -1e300;
        for (const auto& [x, y] : std::array<std::pair<double, double>, 4>{
                 {{s.xmin, s.ymin}, {s.xmax, s.ymin}, {s.xmin, s.ymax}, {s.xmax, s.ymax}}}) {
          const double px = inverse[0] + x * inverse[1] + y * inverse[2];
          const double py = inverse[3] + x * inverse[4] + y * inverse[5];
          pxmin = std::min(pxmin, px), pxmax = std::max(pxmax, px);
          pymin = std::min(pymin, py), pymax = std::max(pymax, py);
        }
        auto clampTo = [](double v, int hi) {
          return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(hi)));
        };
        wx0 = clampTo(std::floor(pxmin) - 1, width), wx1 = clampTo(std::ceil(pxmax) + 1, width);
        wy0 = clampTo(std::floor(pymin) - 1, height), wy1 = clampTo(std::ceil(pymax) + 1, height);
      }
      // The tolerance in the grid's units, from the size of a pixel in the middle of the window.
      double maxError = 0;
      const double cx = (wx0 + wx1) / 2, cy = (wy0 + wy1) / 2;
      double x[4], y[4], z[4] = {0, 0, 0, 0};
      int ok[4];
      for (int k = 0; k < 4; ++k) {
        const double px = cx + (k == 1 || k == 2), py = cy + (k >= 2);
        x[k] = gt[0] + px * gt[1] + py * gt[2];
        y[k] = gt[3] + px * gt[4] + py * gt[5];
      }
      if (toGrid->Transform(4, x, y, z, ok) && ok[0] && ok[1] && ok[2] && ok[3]) {
        const double area =
            0.5 * std::fabs((x[0] - x[2]) * (y[1] - y[3]) - (x[1] - x[3]) * (y[0] - y[2]));
        maxError = kCornerTolerance * std::sqrt(area);
      }
      approx = std::make_unique<ApproxTransform>(toGrid.get(), maxError);
    }
  } else {
    report.method = "same CRS, north up: cells share pixels by exact overlap";
  }

  // The separable case's column shares, flattened: pixel column i has colCount[i] shares from
  // colFirst[i] on.
  std::vector<int> colFirst, colCount;
  std::vector<Share> colShares, shares;
  if (separable) {
    colFirst.resize(width);
    colCount.resize(width);
    for (int i = 0; i < width; ++i) {
      const double a = grid.U(gt[0] + i * gt[1]), b = grid.U(gt[0] + (i + 1) * gt[1]);
      IntervalShares(std::min(a, b), std::max(a, b), grid.cols, shares);
      colFirst[i] = static_cast<int>(colShares.size());
      colCount[i] = static_cast<int>(shares.size());
      colShares.insert(colShares.end(), shares.begin(), shares.end());
    }
  }

  // Chunks of whole blocks: full rows of blocks when they fit, else narrower.
  int blockW = 0, blockH = 0;
  band->GetBlockSize(&blockW, &blockH);
  blockW = std::max(1, std::min(blockW, width));
  blockH = std::max(1, std::min(blockH, height));
  int chunkW = width;
  if (static_cast<int64_t>(width) * blockH > kChunkPixels)
    chunkW = static_cast<int>(std::max<int64_t>(1, kChunkPixels / blockH / blockW) * blockW);
  chunkW = std::min(chunkW, width);
  int chunkH = static_cast<int>(std::max<int64_t>(1, kChunkPixels / chunkW / blockH) * blockH);
  chunkH = std::min(chunkH, height);

  std::vector<double> values(static_cast<size_t>(chunkW) * chunkH);
  std::vector<double> rowSum(grid.cols, 0.0);
  std::vector<Share> rowShares;
  // Two rows of pixel corners in grid units, and whether each transformed.
  std::vector<double> topU(chunkW + 1), topV(chunkW + 1), botU(chunkW + 1), botV(chunkW + 1);
  std::vector<double> zs(chunkW + 1);
  std::vector<int> topOk(chunkW + 1), botOk(chunkW + 1);
  auto cornerRow = [&](int j, int x0, int n, double* u, double* v, int* ok) {
    for (int k = 0; k <= n; ++k) {
      u[k] = gt[0] + (x0 + k) * gt[1] + j * gt[2];
      v[k] = gt[3] + (x0 + k) * gt[4] + j * gt[5];
      ok[k] = TRUE;
    }
    if (approx) {
      std::fill(zs.begin(), zs.begin() + n + 1, 0.0);
      approx->Run(n + 1, u, v, zs.data(), ok);
    }
    for (int k = 0; k <= n; ++k) {
      u[k] = grid.U(u[k]);
      v[k] = grid.V(v[k]);
    }
  };

  const double totalPixels = static_cast<double>(width) * height;
  double pixelsDone = 0;
  Progress(progress, 0);
  for (int y0 = 0; y0 < height; y0 += chunkH) {
    const int h = std::min(chunkH, height - y0);
    for (int x0 = 0; x0 < width; x0 += chunkW) {
      const int w = std::min(chunkW, width - x0);
      CPLErrorReset();
      if (band->RasterIO(GF_Read, x0, y0, w, h, values.data(), w, h, GDT_Float64, 0, 0, nullptr) !=
          CE_None)
        Fail("reading pixels " + std::to_string(x0) + "," + std::to_string(y0) +
             " failed: " + LastGdalError("read error"));
      // Pixels that count 0 become 0; the rest add to the source total.
      for (size_t p = 0; p < static_cast<size_t>(w) * h; ++p) {
        double& v = values[p];
        if (hasNodata && (v == nodata || (nodataIsNan && std::isnan(v)))) {
          ++report.nodata;
          v = 0;
        } else if (!Valid(v, report)) {
          v = 0;
        } else {
          report.sourceTotal += v;
        }
      }

      if (separable) {
        for (int j = 0; j < h; ++j) {
          const double a = grid.V(gt[3] + (y0 + j) * gt[5]);
          const double b = grid.V(gt[3] + (y0 + j + 1) * gt[5]);
          IntervalShares(std::min(a, b), std::max(a, b), grid.rows, rowShares);
          if (rowShares.empty()) continue;
          std::fill(rowSum.begin(), rowSum.end(), 0.0);
          const double* row = &values[static_cast<size_t>(j) * w];
          for (int i = 0; i < w; ++i) {
            const double v = row[i];
            if (v == 0) continue;
            const int first = colFirst[x0 + i], count = colCount[x0 + i];
            for (int k = 0; k < count; ++k)
              rowSum[colShares[first + k].cell] += v * colShares[first + k].fraction;
          }
          for (const Share& s : rowShares) {
            double* cells = &report.cells[static_cast<size_t>(s.cell) * grid.cols];
            for (int c = 0; c < grid.cols; ++c) cells[c] += s.fraction * rowSum[c];
          }
        }
      } else {
        // The part of the chunk inside the window, one pixel row at a time between two rows of
        // corners.
        const int cx0 = std::max(x0, wx0), cx1 = std::min(x0 + w, wx1);
        const int cy0 = std::max(y0, wy0), cy1 = std::min(y0 + h, wy1);
        if (cx0 < cx1 && cy0 < cy1) {
          const int n = cx1 - cx0;
          cornerRow(cy0, cx0, n, topU.data(), topV.data(), topOk.data());
          for (int j = cy0; j < cy1; ++j) {
            cornerRow(j + 1, cx0, n, botU.data(), botV.data(), botOk.data());
            const double* row = &values[static_cast<size_t>(j - y0) * w + (cx0 - x0)];
            for (int k = 0; k < n; ++k) {
              const double v = row[k];
              if (v == 0) continue;
              if (!(topOk[k] && topOk[k + 1] && botOk[k] && botOk[k + 1])) {
                ++report.untransformed;
                report.untransformedValue += v;
                continue;
              }
              const double u[4] = {topU[k], topU[k + 1], botU[k + 1], botU[k]};
              const double vv[4] = {topV[k], topV[k + 1], botV[k + 1], botV[k]};
              SpreadQuad(u, vv, v, grid.cols, grid.rows, report.cells.data());
            }
            std::swap(topU, botU);
            std::swap(topV, botV);
            std::swap(topOk, botOk);
          }
        }
      }
      pixelsDone += static_cast<double>(w) * h;
      Progress(progress, pixelsDone / totalPixels);
    }
  }
  return report;
}

// ---- Vector layers. ----
//
// Each feature counts 1, or its field's value, at its point or, for any other geometry, at its
// centroid (worked out in the source's CRS). The points are transformed into the grid's CRS
// each exactly, a batch per call, and added to the cell they fall in.

LayerReport Source::ReadVector(const Grid& grid, const OGRSpatialReference& target,
                               bool progress) const {
  LayerReport report;
  report.cells.assign(grid.CellCount(), 0.0);
  const TransformPtr toGrid = MakeTransform(crs_, target, label_);
  const GIntBig expected = layer_->GetFeatureCount(FALSE);
  report.description = std::string("layer '") + layer_->GetName() + "'";

  std::vector<double> xs, ys, vs;
  std::vector<int> ok(kPointBatch);
  xs.reserve(kPointBatch), ys.reserve(kPointBatch), vs.reserve(kPointBatch);
  auto flush = [&] {
    const int n = static_cast<int>(xs.size());
    if (toGrid) {
      std::fill(ok.begin(), ok.begin() + n, FALSE);
      if (!toGrid->Transform(n, xs.data(), ys.data(), nullptr, ok.data()))
        std::fill(ok.begin(), ok.begin() + n, FALSE);
    } else {
      std::fill(ok.begin(), ok.begin() + n, TRUE);
    }
    for (int i = 0; i < n; ++i) {
      if (!ok[i] || !std::isfinite(xs[i]) || !std::isfinite(ys[i])) {
        ++report.untransformed;
        report.untransformedValue += vs[i];
        continue;
      }
      const long cell = grid.CellOf(xs[i], ys[i]);
      if (cell >= 0) report.cells[cell] += vs[i];
    }
    xs.clear(), ys.clear(), vs.clear();
  };

  Progress(progress, 0);
  layer_->ResetReading();
  OGRPoint centroid;
  CPLErrorReset();
  for (const auto& feature : *layer_) {
    ++report.features;
    if (progress && expected > 0 && report.features % 65536 == 0)
      Progress(true, static_cast<double>(report.features) / expected);
    double value = 1;
    if (fieldIndex_ >= 0) {
      if (!feature->IsFieldSetAndNotNull(fieldIndex_)) {
        ++report.noValue;
        continue;
      }
      value = feature->GetFieldAsDouble(fieldIndex_);
      if (!Valid(value, report)) continue;
    }
    report.sourceTotal += value;
    const OGRGeometry* geometry = feature->GetGeometryRef();
    if (geometry == nullptr || geometry->IsEmpty()) {
      ++report.noGeometry;
      report.noGeometryValue += value;
      continue;
    }
    double x, y;
    if (wkbFlatten(geometry->getGeometryType()) == wkbPoint) {
      const OGRPoint* p = geometry->toPoint();
      x = p->getX(), y = p->getY();
      ++report.points;
    } else if (geometry->Centroid(&centroid) == OGRERR_NONE && !centroid.IsEmpty()) {
      x = centroid.getX(), y = centroid.getY();
      ++report.centroids;
    } else {
      ++report.noGeometry;
      report.noGeometryValue += value;
      continue;
    }
    xs.push_back(x), ys.push_back(y), vs.push_back(value);
    if (xs.size() == kPointBatch) flush();
  }
  if (CPLGetLastErrorType() == CE_Failure)
    Fail("reading features failed: " + LastGdalError("read error"));
  flush();
  Progress(progress, 1);
  report.description += ", " + FormatCount(report.features) + " features";
  return report;
}

}  // namespace velmora::town
