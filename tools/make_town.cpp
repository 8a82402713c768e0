// Generates Velmora's default town: the three land-use pictures arbeiter.bmp (workers),
// arbeitsstaetten.bmp (workplaces) and verkaufsflaechen.bmp (retail units), 630 x 660 pixels,
// 24-bit BMP. The program reads the count of a cell as 255 minus the red, green or blue byte
// of the pixel at the cell centre, so each picture carries its count in that one channel; the
// other two channels only colour the picture so that it reads as a map.
//
// The town: an old town and business centre on a low hill, residential districts around it,
// main streets running out from the centre with shops along them, an industrial estate and a
// harbour by the river in the east, a business park south of the river, farmland beyond.
// Everything is computed from fixed formulas and a fixed hash, so every run writes the same
// bytes.
//
// Usage: make_town [output folder]   (default: pictures)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 630;
constexpr int kHeight = 660;
constexpr double kPi = 3.14159265358979323846;

double Clamp(double v, double lo, double hi) {
  return std::min(hi, std::max(lo, v));
}

// 0 at edge0, 1 at edge1, smooth in between; edge0 may lie above edge1.
double SmoothStep(double edge0, double edge1, double x) {
  const double t = Clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// ---- Deterministic value noise. ----

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = seed ^ 0x9E3779B9u;
  h ^= static_cast<uint32_t>(x) * 0x85EBCA6Bu;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

double Lattice(int32_t x, int32_t y, uint32_t seed) {
  return Hash(x, y, seed) / 4294967296.0;
}

// Smooth noise in [0, 1) with features about `scale` pixels across.
double Noise(double x, double y, double scale, uint32_t seed) {
  const double fx = x / scale, fy = y / scale;
  const int32_t ix = static_cast<int32_t>(std::floor(fx));
  const int32_t iy = static_cast<int32_t>(std::floor(fy));
  const double tx = SmoothStep(0.0, 1.0, fx - ix), ty = SmoothStep(0.0, 1.0, fy - iy);
  const double a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
  const double c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) * (1.0 - ty) + (c + (d - c) * tx) * ty;
}

// ---- Geometry. ----

struct Point {
  double x, y;
};

double SegmentDistance(Point p, Point a, Point b) {
  const double vx = b.x - a.x, vy = b.y - a.y;
  const double len2 = vx * vx + vy * vy;
  const double t = len2 > 0.0 ? Clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / len2, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - (a.x + t * vx), p.y - (a.y + t * vy));
}

double PolylineDistance(Point p, const std::vector<Point>& line) {
  double best = 1e9;
  for (size_t i = 0; i + 1 < line.size(); ++i)
    best = std::min(best, SegmentDistance(p, line[i], line[i + 1]));
  return best;
}

// ---- The town plan. ----

const Point kCentre{305.0, 280.0};

// A residential district: full density well inside, fading out at an irregular edge.
struct District {
  Point centre;
  double radius;
  double density;  // workers per cell at full density
  double phase;
};

const std::vector<District> kDistricts = {
    {{295.0, 115.0}, 100.0, 170.0, 0.4},  // Nordstadt
    {{115.0, 150.0}, 82.0, 145.0, 2.1},   // Am Hang
    {{105.0, 345.0}, 90.0, 160.0, 4.0},   // Weststadt
    {{480.0, 125.0}, 86.0, 150.0, 1.3},   // Oststadt
    {{170.0, 575.0}, 90.0, 165.0, 5.2},   // Südstadt, across the river
    {{385.0, 605.0}, 66.0, 135.0, 3.3},   // Brückenviertel
};

double DistrictWeight(const District& d, Point p) {
  const double dx = p.x - d.centre.x, dy = p.y - d.centre.y;
  const double angle = std::atan2(dy, dx);
  const double r = d.radius * (1.0 + 0.16 * std::sin(3.0 * angle + d.phase) +
                               0.07 * std::sin(5.0 * angle - d.phase));
  const double ragged = 30.0 * (Noise(p.x, p.y, 45.0, 3) - 0.5);
  return SmoothStep(r, 0.7 * r, std::hypot(dx, dy) + ragged);
}

// The main streets, from the centre out to the edges of the map.
const std::vector<std::vector<Point>> kMainStreets = {
    {kCentre, {298.0, 160.0}, {300.0, 60.0}, {312.0, 0.0}},     // north
    {kCentre, {180.0, 300.0}, {80.0, 335.0}, {0.0, 345.0}},     // west
    {kCentre, {440.0, 300.0}, {630.0, 300.0}},                  // east, to the estate
    {kCentre, {318.0, 420.0}, {335.0, 540.0}, {345.0, 660.0}},  // south, over the bridge
    {kCentre, {400.0, 200.0}, {510.0, 130.0}, {630.0, 85.0}},   // north-east
    {kCentre, {215.0, 410.0}, {165.0, 520.0}, {105.0, 660.0}},  // south-west, second bridge
    {kCentre, {200.0, 210.0}, {110.0, 150.0}, {0.0, 120.0}},    // north-west
};

// The river: a band meandering west to east through the south of the town.
double RiverCentre(double x) {
  return 470.0 + 26.0 * std::sin((x + 30.0) / 80.0) + 0.09 * (x - 315.0);
}
double RiverHalfWidth(double x) {
  return 19.0 + 4.0 * std::sin(x / 47.0);
}

// Signed distance outside a rectangle with rounded corners (negative inside).
double RoundRectDistance(Point p, double left, double top, double right, double bottom,
                         double radius) {
  const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
  const double hx = (right - left) / 2.0 - radius, hy = (bottom - top) / 2.0 - radius;
  const double qx = std::abs(p.x - cx) - hx, qy = std::abs(p.y - cy) - hy;
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
         radius;
}

struct Land {
  double workers = 0.0;
  double workplaces = 0.0;
  double retail = 0.0;
  bool water = false;
  bool riverBank = false;
  double mainStreet = 0.0;   // distance to the nearest main street
  bool minorStreet = false;  // visual only
  bool railway = false;      // visual only
};

Land Sample(double x, double y) {
  const Point p{x, y};
  Land land;

  const double river = std::abs(y - RiverCentre(x)) - RiverHalfWidth(x);
  land.water = river < 0.0;
  land.riverBank = river >= 0.0 && river < 2.0;
  // Meadows along both banks: nothing is built right at the water.
  const double banks = SmoothStep(4.0, 16.0, river);

  // The built-up area thins out from the centre towards the fields, with a ragged edge.
  const double dc = std::hypot(x - kCentre.x, (y - kCentre.y) * 1.1);
  const double ragged = 70.0 * (Noise(x, y, 80.0, 5) - 0.5);
  const double southSide = std::hypot(x - 290.0, y - 585.0);
  const double suburb =
      std::max(SmoothStep(330.0, 190.0, dc + ragged), SmoothStep(190.0, 90.0, southSide + ragged));

  // Residential districts, their density varying smoothly from street to street.
  double residential = 0.0, workers = suburb * 62.0;
  for (const District& d : kDistricts) {
    const double w = DistrictWeight(d, p);
    residential = std::max(residential, w);
    workers = std::max(workers, w * d.density);
  }
  workers *= 0.8 + 0.4 * Noise(x, y, 55.0, 11);

  // The business centre and the old town around it.
  const double cbd = SmoothStep(78.0, 40.0, dc);
  const double oldTown = SmoothStep(150.0, 100.0, dc);
  workers = std::max(workers, oldTown * (110.0 - 60.0 * cbd));

  // The industrial estate with the harbour, the business park south of the river, and the
  // hospital and college grounds north-east of the centre.
  const double estate =
      SmoothStep(8.0, -14.0, RoundRectDistance(p, 430.0, 318.0, 628.0, 448.0, 30.0));
  const double park =
      SmoothStep(10.0, -12.0, RoundRectDistance(p, 445.0, 505.0, 615.0, 595.0, 24.0));
  const double campus = SmoothStep(44.0, 26.0, std::hypot(x - 425.0, y - 225.0));
  const double industry = std::max(estate, 0.9 * park);
  workers *= 1.0 - std::max(industry, campus);

  // Shops along the main streets wherever people live or work in the old town.
  land.mainStreet = 1e9;
  for (const auto& street : kMainStreets)
    land.mainStreet = std::min(land.mainStreet, PolylineDistance(p, street));
  const double shops = SmoothStep(26.0, 12.0, land.mainStreet) *
                       Clamp(std::max(residential, suburb) + oldTown, 0.0, 1.0);

  double workplaces = cbd * 245.0 + (oldTown - cbd) * 140.0 + industry * 245.0 + campus * 215.0 +
                      residential * 22.0 + suburb * 14.0 + shops * 70.0;
  workplaces *= 0.85 + 0.3 * Noise(x, y, 45.0, 23);
  double retail = cbd * 215.0 + (oldTown - cbd) * 45.0 + shops * 170.0 + residential * 6.0;
  retail *= 0.85 + 0.3 * Noise(x, y, 40.0, 37);
  // A market hall by the western main street.
  retail = std::max(retail, 230.0 * SmoothStep(30.0, 14.0, std::hypot(x - 150.0, y - 305.0)));

  // The town park north-west of the centre.
  const double green = 1.0 - SmoothStep(40.0, 22.0, std::hypot(x - 205.0, y - 205.0));
  const double open = land.water ? 0.0 : banks * green;
  land.workers = Clamp(workers * open, 0.0, 255.0);
  land.workplaces = Clamp(workplaces * open, 0.0, 255.0);
  land.retail = Clamp(retail * open, 0.0, 255.0);

  // Side streets: a slightly skewed grid of blocks in the built-up area.
  const double urban = Clamp(std::max(residential, suburb) + oldTown + industry, 0.0, 1.0);
  if (urban > 0.35 && open > 0.5) {
    const double u = x + 0.12 * y, v = y - 0.08 * x;
    const double bu = std::fmod(u + 1000.0, 38.0), bv = std::fmod(v + 1000.0, 33.0);
    land.minorStreet = bu < 1.5 || bv < 1.5;
  }
  // The railway along the north bank, into the estate.
  const double railY = 390.0 + 0.05 * (x - 315.0) - 18.0 * std::sin(x / 120.0);
  land.railway = std::abs(y - railY) < 1.2;
  return land;
}

// ---- Pictures. ----

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Image {
 public:
  Image() : pixels_(static_cast<size_t>(kWidth) * kHeight * 3) {}
  void Set(int x, int y, int r, int g, int b) {
    uint8_t* px = &pixels_[(static_cast<size_t>(y) * kWidth + x) * 3];
    px[0] = static_cast<uint8_t>(Clamp(r, 0, 255));
    px[1] = static_cast<uint8_t>(Clamp(g, 0, 255));
    px[2] = static_cast<uint8_t>(Clamp(b, 0, 255));
  }
  int Channel(int x, int y, int c) const {
    return pixels_[(static_cast<size_t>(y) * kWidth + x) * 3 + c];
  }
  // A 24-bit BMP: bottom-up rows of blue, green, red, each row padded to four bytes.
  bool WriteBmp(const std::string& path) const {
    const uint32_t rowBytes = (kWidth * 3 + 3) & ~3u;
    const uint32_t dataBytes = rowBytes * kHeight;
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) {
      out.push_back(v & 0xFF);
      out.push_back((v >> 8) & 0xFF);
    };
    auto put32 = [&](uint32_t v) {
      put16(v & 0xFFFF);
      put16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    put32(54 + dataBytes);  // file size
    put32(0);               // reserved
    put32(54);              // offset of the pixels
    put32(40);              // info header size
    put32(kWidth);
    put32(kHeight);  // positive: bottom-up
    put16(1);        // planes
    put16(24);       // bits per pixel
    put32(0);        // no compression
    put32(dataBytes);
    put32(2835);  // 72 dpi
    put32(2835);
    put32(0);
    put32(0);
    for (int y = kHeight - 1; y >= 0; --y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* px = &pixels_[(static_cast<size_t>(y) * kWidth + x) * 3];
        out.push_back(px[2]);
        out.push_back(px[1]);
        out.push_back(px[0]);
      }
      for (uint32_t pad = kWidth * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
  }

 private:
  std::vector<uint8_t> pixels_;
};

// One picture: `read` is the channel (0 red, 1 green, 2 blue) that carries the count; `ink` is
// the map colour of the densest use. The count channel is exactly 255 - count everywhere; the
// other two channels draw paper, ink, water, streets and the railway.
struct Style {
  int read;
  Rgb ink;
};

void Paint(Image& image, int x, int y, const Land& land, double count, const Style& style) {
  const Rgb paper{250.0, 247.0, 238.0};
  const Rgb water{205.0, 225.0, 245.0};
  Rgb c = Mix(paper, style.ink, count / 255.0);
  if (land.water) c = water;
  if (land.riverBank) c = Mix(water, {60.0, 90.0, 140.0}, 0.6);
  if (land.minorStreet) c = Mix(c, {255.0, 255.0, 255.0}, 0.55);
  if (land.mainStreet < 3.0) c = Mix(c, {120.0, 110.0, 100.0}, 0.8);
  if (land.railway) c = {40.0, 40.0, 40.0};
  double channels[3] = {c.r, c.g, c.b};
  channels[style.read] = 255.0 - count;
  image.Set(x, y, static_cast<int>(std::lround(channels[0])),
            static_cast<int>(std::lround(channels[1])), static_cast<int>(std::lround(channels[2])));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "pictures";
  const Style workerStyle{0, {40.0, 90.0, 150.0}};
  const Style workplaceStyle{1, {150.0, 30.0, 90.0}};
  const Style retailStyle{2, {215.0, 120.0, 20.0}};

  Image workers, workplaces, retail;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Land land = Sample(x, y);
      Paint(workers, x, y, land, std::round(land.workers), workerStyle);
      Paint(workplaces, x, y, land, std::round(land.workplaces), workplaceStyle);
      Paint(retail, x, y, land, std::round(land.retail), retailStyle);
    }
  }

  const struct {
    const Image* image;
    const char* name;
  } files[] = {{&workers, "arbeiter.bmp"},
               {&workplaces, "arbeitsstaetten.bmp"},
               {&retail, "verkaufsflaechen.bmp"}};
  for (const auto& file : files) {
    const std::string path = folder + "/" + file.name;
    if (!file.image->WriteBmp(path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }

  // The totals the program shows at the default cell size of 30 (cell centres 15 + 30k).
  long long totals[3] = {0, 0, 0};
  for (int y = 15; y < 660; y += 30)
    for (int x = 15; x < 630; x += 30) {
      totals[0] += 255 - workers.Channel(x, y, 0);
      totals[1] += 255 - workplaces.Channel(x, y, 1);
      totals[2] += 255 - retail.Channel(x, y, 2);
    }
  std::printf("workers %lld, workplaces %lld, retail %lld\n", totals[0], totals[1], totals[2]);
  return 0;
}
