// The two speed figures of velmora-town: a raster of 10,000 x 10,000 pixels and a layer of
// 1,000,000 points, each made here with GDAL and converted by the built tool in a process of
// its own. Prints "NAME VALUE UNIT" lines: the wall-clock seconds of the conversion (what the
// user waits), its CPU seconds, and the process's peak resident memory. Usage: velmora_town_bench
// [SCRATCH_FOLDER]
#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 10000;       // raster pixels per side
constexpr int kPoints = 1000000;   // points of the vector layer
constexpr double kPixel = 10.0;    // metres per pixel
constexpr double kX0 = 4200000.0;  // raster's top-left corner in ETRS89-LAEA (EPSG:3035),
constexpr double kY0 = 2900000.0;  // in southern Germany

// A town-like density: a centre, a few districts, nothing in a river band (nodata).
float Density(double x, double y) {
  const double cx = 0.5, cy = 0.5;
  double d = 800.0 * std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) / 0.02);
  d += 300.0 * std::exp(-((x - 0.25) * (x - 0.25) + (y - 0.7) * (y - 0.7)) / 0.005);
  d += 200.0 * std::exp(-((x - 0.8) * (x - 0.8) + (y - 0.3) * (y - 0.3)) / 0.008);
  return static_cast<float>(d / 100.0);
}

void MakeRaster(const std::string& path) {
  GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
  const char* const options[] = {"TILED=YES", "COMPRESS=LZW", "PREDICTOR=3", nullptr};
  GDALDatasetUniquePtr ds(
      gtiff->Create(path.c_str(), kSide, kSide, 1, GDT_Float32, const_cast<char**>(options)));
  OGRSpatialReference crs;
  crs.importFromEPSG(3035);
  ds->SetSpatialRef(&crs);
  double gt[6] = {kX0, kPixel, 0, kY0, 0, -kPixel};
  ds->SetGeoTransform(gt);
  GDALRasterBand* band = ds->GetRasterBand(1);
  band->SetNoDataValue(-1);
  std::vector<float> rows(static_cast<size_t>(kSide) * 256);
  for (int y0 = 0; y0 < kSide; y0 += 256) {
    const int h = std::min(256, kSide - y0);
    for (int j = 0; j < h; ++j) {
      const double y = (y0 + j) / static_cast<double>(kSide);
      for (int i = 0; i < kSide; ++i) {
        const double x = i / static_cast<double>(kSide);
        const bool river = std::fabs(y - 0.4 - 0.1 * std::sin(x * 9)) < 0.01;
        rows[static_cast<size_t>(j) * kSide + i] = river ? -1.0f : Density(x, y);
      }
    }
    if (band->RasterIO(GF_Write, 0, y0, kSide, h, rows.data(), kSide, h, GDT_Float32, 0, 0,
                       nullptr) != CE_None) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }
}

// Points in WGS 84 (as an export of an open map database would give them) around the raster's
// area, with an "employees" field.
void MakePoints(const std::string& path, int count) {
  GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
  GDALDatasetUniquePtr ds(gpkg->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference wgs84;
  wgs84.importFromEPSG(4326);
  wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRLayer* layer = ds->CreateLayer("companies", &wgs84, wkbPoint, nullptr);
  OGRFieldDefn field("employees", OFTInteger);
  layer->CreateField(&field);
  ds->StartTransaction();
  uint64_t seed = 42;
  auto next = [&] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(seed >> 11) / 9007199254740992.0;
  };
  for (int i = 0; i < count; ++i) {
    OGRFeature feature(layer->GetLayerDefn());
    OGRPoint point(8.35 + 1.35 * next(), 48.32 + 0.86 * next());
    feature.SetGeometry(&point);
    feature.SetField(0, 1 + static_cast<int>(next() * 50));
    if (layer->CreateFeature(&feature) != OGRERR_NONE) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }
  ds->CommitTransaction();
}

struct Run {
  double seconds;     // wall clock
  double cpuSeconds;  // user and system
  double peakMb;
};

Run RunTool(const std::vector<std::string>& args) {
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    std::string tool = VELMORA_TOWN;
    argv.push_back(tool.data());
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "velmora-town failed\n");
    std::exit(1);
  }
  const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec * 1e-6;
  return {seconds, cpu, usage.ru_maxrss / 1024.0};
}

}  // namespace

int main(int argc, char** argv) {
  std::string scratch = argc > 1 ? argv[1] : "";
  if (scratch.empty()) {
    char folder[] = "/tmp/velmora-town-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    scratch = folder;
  }
  GDALAllRegister();
  const std::string raster = scratch + "/population.tif";
  const std::string points = scratch + "/companies.gpkg";
  const std::string few = scratch + "/few.gpkg";
  const std::string out = scratch + "/pictures";
  mkdir(out.c_str(), 0777);
  std::fprintf(stderr, "making the data in %s\n", scratch.c_str());
  MakeRaster(raster);
  MakePoints(points, kPoints);
  MakePoints(few, 100);
  GDALDestroyDriverManager();

  // The raster in ETRS89-LAEA, the grid in UTM zone 32N: every pixel's corners transformed.
  const std::string extent = "455000,5352000,550000,5448000";
  const Run r = RunTool({"--workers", raster, "--workplaces", few, "--retail", few, "--crs",
                         "EPSG:32632", "--extent", extent, "--out", out, "--quiet"});
  std::printf("town_raster_1e8_pixels %.3g s\n", r.seconds);
  std::printf("town_raster_1e8_pixels_cpu %.3g s\n", r.cpuSeconds);
  std::printf("town_raster_1e8_pixels_peak_memory %.0f MB\n", r.peakMb);
  // The points in WGS 84 into the same grid, each transformed exactly.
  const Run p = RunTool({"--workers", few, "--workplaces", points, "--workplaces-field",
                         "employees", "--retail", few, "--crs", "EPSG:32632", "--extent", extent,
                         "--out", out, "--quiet"});
  std::printf("town_points_1e6 %.3g s\n", p.seconds);
  std::printf("town_points_1e6_cpu %.3g s\n", p.cpuSeconds);
  std::printf("town_points_1e6_peak_memory %.0f MB\n", p.peakMb);

  if (argc <= 1) {
    for (const std::string& f : {raster, points, few}) std::remove(f.c_str());
    for (const char* f :
         {"arbeiter.bmp", "arbeitsstaetten.bmp", "verkaufsflaechen.bmp", "town.txt"})
      std::remove((out + "/" + f).c_str());
    rmdir(out.c_str());
    rmdir(scratch.c_str());
  }
  return 0;
}
