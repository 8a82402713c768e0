#!/usr/bin/env bash
# Makes the data of the worked example in docs/town.md: an invented town of some 70,000 people
# on the Rhine plain, in the three shapes such data usually come in.
#   employed_residents.tif  employed residents per 100 m cell, a census grid in ETRS89-LAEA
#                           (EPSG:3035), nodata on the river
#   companies.gpkg          workplaces: one point per company with its "employees", from a
#                           business register geocoded in ETRS89 / UTM zone 32N (EPSG:25832)
#   shops.gpkg              retail: shops as an open map database exports them, in WGS 84,
#                           most as points, supermarkets as building outlines
# Only awk and GDAL's command-line tools (gdal-bin); the same files on every run.
#   usage: tools/town/example/make_example.sh [FOLDER]    (default: town-example)
set -euo pipefail
out=${1:-town-example}
mkdir -p "$out"
cd "$out"
rm -f employed_residents.* companies.* shops.*

# The town centre: on the LAEA grid, and the same place in UTM for the points.
cx=4221000
cy=2879000
read -r ux uy _ < <(echo "$cx $cy" | gdaltransform -s_srs EPSG:3035 -t_srs EPSG:25832)

# Shared by the generators: a fixed random sequence (Park-Miller, exact in awk's doubles) and
# the town's shape, with x, y in km east and north of the centre.
common='
function rnd() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
function g(x, y, px, py, r) { return exp(-((x - px) ^ 2 + (y - py) ^ 2) / (2 * r * r)) }
function river(x) { return -0.9 + 0.35 * sin(x / 1.3) }
function normal() { return sqrt(-2 * log(rnd() + 1e-12)) * cos(6.283185307 * rnd()) }
# Persons per hectare: the old town, six districts, suburbs fading out; few on the industrial
# estate by the harbour and in the business park.
function density(x, y,   d) {
  d = 70 * g(x, y, 0, 0, 0.8) + 45 * g(x, y, -2.5, 1.8, 0.7) + 40 * g(x, y, 2.2, 2.4, 0.8) \
    + 38 * g(x, y, -2.8, -2.2, 0.7) + 32 * g(x, y, 0.6, -3.2, 0.6) + 26 * g(x, y, -4.2, 0.2, 0.6) \
    + 20 * g(x, y, 3.4, -0.1, 0.5) + 4 * g(x, y, 0, 0, 3.5)
  return 0.65 * d * (1 - 0.9 * g(x, y, 4.2, -1.4, 0.6)) * (1 - 0.9 * g(x, y, -3.0, 3.6, 0.45))
}
# A point around (px, py) with spread r, in UTM metres.
function around(px, py, r) { X = ux + 1000 * (px + r * normal()); Y = uy + 1000 * (py + r * normal()) }
'

# Employed residents: 120 x 125 cells of 100 m (12 x 12.5 km), about half the residents.
awk -v cx="$cx" -v cy="$cy" "$common"'
BEGIN {
  seed = 20240601; n = 120; m = 125; x0 = cx - 6000; y0 = cy - 6500
  print "ncols " n; print "nrows " m; print "xllcorner " x0; print "yllcorner " y0
  print "cellsize 100"; print "NODATA_value -9999"
  for (j = 0; j < m; j++) {
    line = ""
    for (i = 0; i < n; i++) {
      x = (x0 + (i + 0.5) * 100 - cx) / 1000; y = (y0 + (m - j - 0.5) * 100 - cy) / 1000
      if (y > river(x) - 0.08 && y < river(x) + 0.08) v = -9999
      else v = int(density(x, y) * 0.48 * (0.75 + 0.5 * rnd()) + 0.5)
      line = line (i ? " " : "") v
    }
    print line
  }
}' > employed_residents.asc
gdal_translate -q -a_srs EPSG:3035 -ot Int16 -co COMPRESS=DEFLATE employed_residents.asc \
  employed_residents.tif
rm -f employed_residents.asc employed_residents.asc.aux.xml employed_residents.prj

# Companies with their employees: offices in the centre, small firms in the districts, the
# industrial estate and harbour, the business park, a hospital and a university.
awk -v ux="$ux" -v uy="$uy" "$common"'
function firms(count, px, py, r, most, kind,   k) {
  for (k = 0; k < count; k++) {
    around(px, py, r)
    printf "%.1f,%.1f,%d,%s\n", X, Y, int(exp(rnd() * log(most))) + 1, kind
  }
}
BEGIN {
  seed = 7; print "x,y,employees,sector"
  firms(900, 0, 0, 0.8, 40, "services")
  firms(150, -2.5, 1.8, 0.5, 12, "services"); firms(150, 2.2, 2.4, 0.6, 12, "services")
  firms(150, -2.8, -2.2, 0.5, 12, "services"); firms(120, 0.6, -3.2, 0.4, 12, "services")
  firms(100, -4.2, 0.2, 0.4, 12, "services"); firms(80, 3.4, -0.1, 0.4, 12, "services")
  firms(160, 4.2, -1.4, 0.7, 250, "industry")
  firms(120, -3.0, 3.6, 0.5, 200, "business park")
  printf "%.1f,%.1f,1200,hospital\n", ux + 1200, uy + 1000
  printf "%.1f,%.1f,900,university\n", ux - 800, uy + 1600
}' > companies.csv
ogr2ogr -f GPKG -a_srs EPSG:25832 -nln companies companies.gpkg companies.csv \
  -oo X_POSSIBLE_NAMES=x -oo Y_POSSIBLE_NAMES=y -oo KEEP_GEOM_COLUMNS=NO -oo AUTODETECT_TYPE=YES
rm -f companies.csv

# Shops: the old town, the two main streets, the district centres; supermarkets as outlines.
awk -v ux="$ux" -v uy="$uy" "$common"'
function shop(px, py, r, kind) { around(px, py, r); printf "\"POINT (%.1f %.1f)\",%s\n", X, Y, kind }
function market(px, py,   a, b) {
  around(px, py, 0.2); a = X; b = Y
  printf "\"POLYGON ((%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f))\",supermarket\n", \
    a, b, a + 60, b, a + 60, b + 40, a, b + 40, a, b
}
BEGIN {
  seed = 11; print "WKT,shop"
  for (k = 0; k < 320; k++) shop(0, 0, 0.35, k % 3 ? "clothes" : "bakery")
  for (k = 0; k < 140; k++) shop(-3.5 + 6.5 * rnd(), 0.1, 0.03, "convenience")
  for (k = 0; k < 110; k++) shop(-0.2, -3.0 + 5.8 * rnd(), 0.03, "hairdresser")
  split("-2.5 1.8 2.2 2.4 -2.8 -2.2 0.6 -3.2 -4.2 0.2 3.4 -0.1", d, " ")
  for (q = 1; q <= 12; q += 2) {
    for (k = 0; k < 25; k++) shop(d[q], d[q + 1], 0.2, "kiosk")
    market(d[q], d[q + 1])
  }
}' > shops.csv
ogr2ogr -f GPKG -s_srs EPSG:25832 -t_srs EPSG:4326 -nln shops -nlt GEOMETRY shops.gpkg shops.csv \
  -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO
rm -f shops.csv

echo "made $(pwd)/employed_residents.tif, companies.gpkg and shops.gpkg"
