// velmora-town, run as a user runs it, on inputs made here with GDAL: the cell counts Velmora
// loads from its pictures against sums worked out here, the same points in two CRSs, the
// automatic people per unit, and every bad input.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "headless/headless_host.h"
#include "model/model.h"
#include "ui/picture_reader.h"

namespace {

namespace fs = std::filesystem;

// The grid of every test: cell size 30 gives 21 x 22 cells; on 1 km cells in UTM zone 32N.
constexpr int kCellSize = 30, kCols = 21, kRows = 22;
constexpr double kX0 = 400000, kY1 = 5500000, kSide = 1000;  // grid's top-left corner
const std::string kExtent = "400000,5478000,421000,5500000";

using Cells = std::vector<double>;  // row-major sums per cell
using Loaded = std::vector<std::array<int, 3>>;

// Velmora's own loading of the pictures in dir/pictures: "new setup" at the cell size, then
// "load data", reading the files as the window does. The one place that uses the model's API.
Loaded LoadInVelmora(const std::string& dir) {
  struct FileHost : velmora::HeadlessHost {
    std::unique_ptr<velmora::Picture> LoadPicture(const std::string& path) override {
      return velmora::LoadQImagePicture(path);
    }
  } host;
  host.exeDir = dir + "/";
  host.edits[velmora::EditBox::CellScale] = std::to_string(kCellSize);
  velmora::Model model(host);
  model.FormCreate();
  model.B_loadDataClick();
  Loaded counts;
  model.town.cells.ForEach([&](const velmora::TCell& c) {
    counts.push_back({c.workers, c.workplaces, c.retail});
  });
  return counts;
}

struct Result {
  int status;
  std::string out, err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A scratch folder with pictures/ in it, removed at the end.
struct Scratch {
  fs::path dir;
  Scratch() {
    char name[] = "/tmp/velmora-town-test-XXXXXX";
    dir = mkdtemp(name);
    fs::create_directory(dir / "pictures");
  }
  ~Scratch() { fs::remove_all(dir); }
  std::string operator/(const std::string& name) const { return (dir / name).string(); }
  std::string Pictures() const { return (dir / "pictures").string(); }

  Result Run(const std::vector<std::string>& args) const {
    std::string command = Quote(VELMORA_TOWN);
    for (const std::string& a : args) command.append(" ").append(Quote(a));
    command.append(" >").append(Quote(*this / "stdout"));
    command.append(" 2>").append(Quote(*this / "stderr"));
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir / "stdout"),
            Slurp(dir / "stderr")};
  }
};

// ---- Inputs. ----

OGRSpatialReference Crs(int epsg) {
  OGRSpatialReference crs;
  crs.importFromEPSG(epsg);
  crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return crs;
}

// A GeoTIFF of w x h pixels from top-left (x0, y1) with square pixels of side p; epsg 0: no CRS.
void MakeRaster(const std::string& path, int w, int h, double x0, double y1, double p, int epsg,
                const std::function<double(int, int)>& value, double nodata = -9999) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
  GDALDatasetUniquePtr ds(driver->Create(path.c_str(), w, h, 1, GDT_Float64, nullptr));
  double gt[6] = {x0, p, 0, y1, 0, -p};
  ds->SetGeoTransform(gt);
  if (epsg) {
    const OGRSpatialReference crs = Crs(epsg);
    ds->SetSpatialRef(&crs);
  }
  ds->GetRasterBand(1)->SetNoDataValue(nodata);
  std::vector<double> pixels(static_cast<size_t>(w) * h);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) pixels[static_cast<size_t>(j) * w + i] = value(i, j);
  ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, pixels.data(), w, h, GDT_Float64,
                                           0, 0, nullptr),
            CE_None);
}

struct Point {
  double x, y, value;
};

// One point layer; the value goes into field `field` (as text when textField).
void MakePoints(const std::string& path, const char* driverName, int epsg,
                const std::vector<Point>& points, const std::string& field = "staff",
                bool textField = false) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
  GDALDatasetUniquePtr ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference crs = Crs(epsg);
  OGRLayer* layer = ds->CreateLayer("points", &crs, wkbPoint, nullptr);
  OGRFieldDefn definition(field.c_str(), textField ? OFTString : OFTInteger);
  ASSERT_EQ(layer->CreateField(&definition), OGRERR_NONE);
  for (const Point& p : points) {
    OGRFeature feature(layer->GetLayerDefn());
    OGRPoint point(p.x, p.y);
    feature.SetGeometry(&point);
    feature.SetField(0, static_cast<int>(p.value));
    ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
}

// Points at random in the grid, none within a metre of a cell edge, and their cell sums.
std::vector<Point> RandomPoints(int n, int maxValue, unsigned seed, Cells* sums, Cells* counts) {
  std::vector<Point> points;
  sums->assign(kCols * kRows, 0);
  counts->assign(kCols * kRows, 0);
  srand(seed);
  while (static_cast<int>(points.size()) < n) {
    const double u = kCols * (rand() / (RAND_MAX + 1.0)), v = kRows * (rand() / (RAND_MAX + 1.0));
    if (std::fabs(u - std::round(u)) * kSide < 1 || std::fabs(v - std::round(v)) * kSide < 1)
      continue;
    const double value = 1 + rand() % maxValue;
    points.push_back({kX0 + u * kSide, kY1 - v * kSide, value});
    (*sums)[int(v) * kCols + int(u)] += value;
    (*counts)[int(v) * kCols + int(u)] += 1;
  }
  return points;
}

// The cell sums of a north-up raster in the grid's CRS by the overlap of every pixel with every
// cell.
Cells OverlapSums(int w, int h, double x0, double y1, double p,
                  const std::function<double(int, int)>& value) {
  Cells sums(kCols * kRows, 0);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
          const double ox = std::min(x0 + (i + 1) * p, kX0 + (c + 1) * kSide) -
                            std::max(x0 + i * p, kX0 + c * kSide);
          const double oy = std::min(y1 - j * p, kY1 - r * kSide) -
                            std::max(y1 - (j + 1) * p, kY1 - (r + 1) * kSide);
          if (ox > 0 && oy > 0) sums[r * kCols + c] += value(i, j) * ox * oy / (p * p);
        }
  return sums;
}

// Every cell's count of one layer is its sum divided by N, rounded; a sum within `tolerance` of
// a half may round either way.
void ExpectCounts(const Loaded& loaded, int layer, const Cells& sums, double perUnit,
                  double tolerance = 1e-6) {
  ASSERT_EQ(loaded.size(), sums.size());
  for (size_t i = 0; i < sums.size(); ++i) {
    const double units = sums[i] / perUnit;
    const int count = loaded[i][layer];
    if (std::fabs(units - std::floor(units) - 0.5) < tolerance)
      EXPECT_LE(std::fabs(count - units), 0.5 + tolerance) << "layer " << layer << " cell " << i;
    else
      EXPECT_EQ(count, std::floor(units + 0.5))
          << "layer " << layer << " cell " << i << " sum " << sums[i];
  }
}

// A number from town.txt: the value after `label` in the section of `layer`.
double SummaryValue(const std::string& summary, const std::string& layer,
                    const std::string& label) {
  const size_t section = summary.find("\n" + layer + ": ");
  const size_t at = summary.find(label, section);
  if (section == std::string::npos || at == std::string::npos) return NAN;
  return std::stod(summary.substr(at + label.size()));
}

// ---- Conservation. ----

TEST(Town, RastersAndPointsAddUpInVelmorasCells) {
  Scratch s;
  // Aligned: 100 m pixels on the grid's corner, 0 to 2 each, with pixels that count 0.
  auto aligned = [](int i, int j) -> double {
    if (i == 3 && j == 4) return -9999;  // nodata
    if (i == 5 && j == 4) return -7;
    if (i == 6 && j == 4) return NAN;
    return (i * 7 + j * 3) % 3;
  };
  auto alignedCounted = [&](int i, int j) {
    return std::max(0.0, std::isnan(aligned(i, j)) ? 0 : aligned(i, j));
  };
  MakeRaster(s / "aligned.tif", 210, 220, kX0, kY1, 100, 32632, aligned);
  // Not aligned: 300 m pixels shifted by 50 m, reaching past the grid to the east and south.
  auto shifted = [](int i, int j) -> double { return (i * 5 + j * 11) % 10; };
  MakeRaster(s / "shifted.tif", 80, 80, kX0 + 50, kY1 - 50, 300, 32632, shifted);
  Cells pointSums, pointCounts;
  const std::vector<Point> points = RandomPoints(3000, 3, 1, &pointSums, &pointCounts);
  MakePoints(s / "shops.gpkg", "GPKG", 32632, points);

  Result r = s.Run({"--workers", s / "aligned.tif", "--workplaces", s / "shifted.tif", "--retail",
                    s / "shops.gpkg", "--out", s.Pictures(), "--extent", kExtent, "--per-unit", "1",
                    "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  Loaded loaded = LoadInVelmora(s.dir.string());
  ExpectCounts(loaded, 0, OverlapSums(210, 220, kX0, kY1, 100, alignedCounted), 1);
  ExpectCounts(loaded, 1, OverlapSums(80, 80, kX0 + 50, kY1 - 50, 300, shifted), 1);
  ExpectCounts(loaded, 2, pointCounts, 1);
  EXPECT_NE(r.out.find("1 nodata, 1 negative, 1 not a number"), std::string::npos) << r.out;

  // The points again with their value field, and a raster in WGS 84 brought into the grid's
  // CRS: against sums of 32 x 32 points per pixel transformed one by one.
  const double lon0 = 7.63, lat1 = 49.63, step = 0.005;
  auto wgs = [](int i, int j) -> double { return 1 + (i + 2 * j) % 3; };
  MakeRaster(s / "wgs84.tif", 44, 32, lon0, lat1, step, 4326, wgs);
  Cells subSums(kCols * kRows, 0);
  OGRSpatialReference from = Crs(4326), to = Crs(32632);
  std::unique_ptr<OGRCoordinateTransformation> t(OGRCreateCoordinateTransformation(&from, &to));
  constexpr int k = 32;
  for (int j = 0; j < 32; ++j)
    for (int i = 0; i < 44; ++i) {
      std::vector<double> xs, ys;
      for (int b = 0; b < k; ++b)
        for (int a = 0; a < k; ++a) {
          xs.push_back(lon0 + (i + (a + 0.5) / k) * step);
          ys.push_back(lat1 - (j + (b + 0.5) / k) * step);
        }
      ASSERT_TRUE(t->Transform(k * k, xs.data(), ys.data()));
      for (int q = 0; q < k * k; ++q) {
        const int c = int(std::floor((xs[q] - kX0) / kSide)),
                  row = int(std::floor((kY1 - ys[q]) / kSide));
        ASSERT_TRUE(c >= 0 && c < kCols && row >= 0 && row < kRows) << "raster must lie inside";
        subSums[row * kCols + c] += wgs(i, j) / (k * k);
      }
    }
  r = s.Run({"--workers", s / "wgs84.tif", "--workplaces", s / "shops.gpkg", "--workplaces-field",
             "staff", "--retail", s / "shops.gpkg", "--out", s.Pictures(), "--extent", kExtent,
             "--crs", "EPSG:32632", "--per-unit", "1", "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  loaded = LoadInVelmora(s.dir.string());
  ExpectCounts(loaded, 0, subSums, 1, 0.1);
  ExpectCounts(loaded, 1, pointSums, 1);
  // Every pixel lies inside the grid: its whole count reaches the cells.
  const std::string summary = Slurp(s.dir / "pictures" / "town.txt");
  EXPECT_NEAR(SummaryValue(summary, "workers", "inside the grid:"),
              SummaryValue(summary, "workers", "total in the source:"), 0.01)
      << summary;
}

TEST(Town, SamePointsInUtmAndInWgs84GeoJsonGiveTheSamePictures) {
  Scratch s;
  Cells sums, counts;
  const std::vector<Point> utm = RandomPoints(2000, 5, 2, &sums, &counts);
  std::vector<Point> wgs = utm;
  OGRSpatialReference from = Crs(32632), to = Crs(4326);
  std::unique_ptr<OGRCoordinateTransformation> t(OGRCreateCoordinateTransformation(&from, &to));
  for (Point& p : wgs) ASSERT_TRUE(t->Transform(1, &p.x, &p.y));
  MakePoints(s / "utm.gpkg", "GPKG", 32632, utm);
  MakePoints(s / "wgs.geojson", "GeoJSON", 4326, wgs);

  std::map<std::string, std::string> pictures[2];
  const std::string sources[2] = {s / "utm.gpkg", s / "wgs.geojson"};
  for (int run = 0; run < 2; ++run) {
    const Result r = s.Run({"--workers", sources[run], "--workplaces", sources[run],
                            "--workplaces-field", "staff", "--retail", sources[run], "--out",
                            s.Pictures(), "--crs", "EPSG:32632", "--extent", kExtent, "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* f : {"arbeiter.bmp", "arbeitsstaetten.bmp", "verkaufsflaechen.bmp"})
      pictures[run][f] = Slurp(s.dir / "pictures" / f);
  }
  EXPECT_TRUE(pictures[0] == pictures[1]);
  ExpectCounts(LoadInVelmora(s.dir.string()), 2, counts, 1);
}

// ---- People per unit. ----

TEST(Town, AutomaticPerUnitKeepsTheRatioAndEveryCellAtMost255) {
  Scratch s;
  Cells workers, workplaces, shops, ignored;
  MakePoints(s / "homes.gpkg", "GPKG", 32632, RandomPoints(3000, 400, 3, &workers, &ignored));
  MakePoints(s / "firms.gpkg", "GPKG", 32632, RandomPoints(800, 900, 4, &workplaces, &ignored));
  MakePoints(s / "shops.gpkg", "GPKG", 32632, RandomPoints(500, 1, 5, &ignored, &shops));
  const Result r = s.Run({"--workers", s / "homes.gpkg", "--workers-field", "staff", "--workplaces",
                          s / "firms.gpkg", "--workplaces-field", "staff", "--retail",
                          s / "shops.gpkg", "--out", s.Pictures(), "--extent", kExtent, "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;

  // The smallest N that keeps both layers' cells at most 255, one for both.
  double largest = 0;
  for (size_t i = 0; i < workers.size(); ++i)
    largest = std::max({largest, workers[i], workplaces[i]});
  int n = 1;
  while (std::floor(largest / n + 0.5) > 255) ++n;
  ASSERT_GT(n, 1);
  const Loaded loaded = LoadInVelmora(s.dir.string());
  ExpectCounts(loaded, 0, workers, n);
  ExpectCounts(loaded, 1, workplaces, n);
  ExpectCounts(loaded, 2, shops, 1);
  const std::string summary = Slurp(s.dir / "pictures" / "town.txt");
  EXPECT_EQ(SummaryValue(summary, "workers", "per unit N:"), n);
  EXPECT_EQ(SummaryValue(summary, "workplaces", "per unit N:"), n);
  EXPECT_EQ(SummaryValue(summary, "workers", "cells clipped at 255:"), 0);
  EXPECT_EQ(SummaryValue(summary, "workplaces", "cells clipped at 255:"), 0);
}

// Counts beyond any scale: a cell whose sum overflows to infinity is clipped and reported.
TEST(Town, ACellBeyondAnyScaleIsClipped) {
  Scratch s;
  MakeRaster(s / "huge.tif", 10, 10, kX0, kY1, 100, 32632,
             [](int i, int) { return i < 2 ? 1.5e308 : 0.0; });
  const Result r = s.Run({"--workers", s / "huge.tif", "--workplaces", s / "huge.tif", "--retail",
                          s / "huge.tif", "--out", s.Pictures(), "--extent", kExtent, "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(LoadInVelmora(s.dir.string())[0][0], 255);
  const std::string summary = Slurp(s.dir / "pictures" / "town.txt");
  EXPECT_EQ(SummaryValue(summary, "workers", "cells clipped at 255:"), 1) << summary;
}

// ---- Bad input. ----

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files[e.path().filename()] = Slurp(e.path());
  return files;
}

TEST(Town, BadInputFailsWithOneLineAndWritesNothing) {
  Scratch s;
  Cells ignored;
  MakePoints(s / "points.gpkg", "GPKG", 32632, RandomPoints(50, 3, 6, &ignored, &ignored));
  MakePoints(s / "text.gpkg", "GPKG", 32632, RandomPoints(5, 3, 6, &ignored, &ignored), "name",
             true);
  MakeRaster(s / "nocrs.tif", 10, 10, kX0, kY1, 100, 0, [](int, int) { return 1.0; });
  std::ofstream(s / "garbage.tif") << "not a raster\n";
  std::ofstream(s / "a_file") << "x";
  const std::string p = s / "points.gpkg", out = s.Pictures();
  const std::vector<std::string> base = {"--workers", p, "--workplaces", p, "--retail", p};
  auto with = [&](std::vector<std::string> extra, const std::string& outDir = "") {
    std::vector<std::string> args = base;
    args.insert(args.end(), {"--out", outDir.empty() ? out : outDir, "--extent", kExtent});
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  // A set of pictures from an earlier run, which every failure must leave as it is.
  ASSERT_EQ(s.Run(with({"--quiet"})).status, 0);
  const auto before = Snapshot(out);
  ASSERT_EQ(before.size(), 4u);

  auto replace = [&](const std::string& option, const std::string& value) {
    std::vector<std::string> args = with({});
    for (size_t i = 0; i + 1 < args.size(); ++i)
      if (args[i] == option) args[i + 1] = value;
    return args;
  };
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {replace("--workers", s / "missing.tif"), "--workers '" + s / "missing.tif" + "': no such"},
      {replace("--retail", s / "garbage.tif"),
       "--retail '" + s / "garbage.tif" + "': cannot be read"},
      {replace("--workplaces", s / "nocrs.tif"),
       "--workplaces '" + s / "nocrs.tif" + "': has no coordinate"},
      {with({"--workers-field", "nope"}),
       "--workers-field: layer 'points' of '" + p + "' has no field 'nope'"},
      {replace("--retail", s / "text.gpkg"), ""},  // replaced below with its field
      {replace("--extent", "0,0,1000,1000"),
       "--extent (0, 0, 1000, 1000, WGS 84 / UTM zone 32N (EPSG:32632)) misses all three sources"},
      {replace("--extent", "1,2,3"), "--extent: '1,2,3' is not XMIN,YMIN,XMAX,YMAX"},
      {replace("--extent", "5,2,3,4"), "--extent: '5,2,3,4' is empty"},
      {with({"--crs", "EPSG:999999"}), "--crs: 'EPSG:999999' is not a CRS GDAL knows"},
      {with({"--cell-size", "0"}), "--cell-size: '0' is not a whole number from 1 to 640"},
      {with({"--cell-size", "667"}), "--cell-size: '667' is not a whole number"},
      {with({"--cell-size", "650"}), "--cell-size: 650 leaves the drawing field"},
      {with({"--cell-size", "3x"}), "--cell-size: '3x'"},
      {with({"--per-unit", "0"}), "--per-unit: '0' is not a positive whole number"},
      {with({"--per-unit", "-4"}), "--per-unit: '-4' is not a positive whole number"},
      {with({"--per-unit", "2.5"}), "--per-unit: '2.5' is not a positive whole number"},
      {with({}, s / "a_file"), "--out: '" + s / "a_file" + "' is not a folder"},
      {with({}, s / "no/such"), "--out: folder '" + s / "no/such" + "': No such file"},
      {with({"--bogus"}), "unknown option '--bogus'"},
      {{"--workers", p, "--workplaces", p, "--out", out}, "--retail SOURCE is missing"},
  };
  for (auto [args, message] : cases) {
    if (message.empty()) {
      args.insert(args.end(), {"--retail-field", "name"});
      message = "--retail-field: field 'name' of '" + s / "text.gpkg" + "' is not numeric (String)";
    }
    const Result r = s.Run(args);
    EXPECT_EQ(r.status, 1) << message;
    EXPECT_TRUE(r.err.rfind("velmora-town: ", 0) == 0 && r.err.find('\n') == r.err.size() - 1)
        << "one line: " << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << "want: " << message << "\ngot: " << r.err;
    EXPECT_TRUE(Snapshot(out) == before) << message;
  }

  // An extent that misses one source is a warning: the others make their pictures.
  MakePoints(s / "far.gpkg", "GPKG", 32632, {{kX0 + 90000, kY1, 1}, {kX0 + 91000, kY1 + 10, 1}});
  const Result r = s.Run(replace("--retail", s / "far.gpkg"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(
      r.err.find("warning: the grid's area (400000, 5478000, 421000, 5500000) misses --retail '" +
                 s / "far.gpkg" + "' entirely"),
      std::string::npos)
      << r.err;
}

}  // namespace

// GDAL for making the inputs, torn down at the end so that its caches do not read as leaks.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  GDALAllRegister();
  const int status = RUN_ALL_TESTS();
  GDALDestroyDriverManager();
  OGRCleanupAll();
  OSRCleanup();
  return status;
}
