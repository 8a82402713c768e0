// The three pictures as 24-bit bitmaps, and writing them as a set.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "grid.h"
#include "options.h"

namespace velmora::town {

// arbeiter.bmp, arbeitsstaetten.bmp, verkaufsflaechen.bmp.
const char* PictureFileName(LayerKind kind);
// "red", "green", "blue": the channel Velmora reads from the picture.
const char* ChannelName(LayerKind kind);

// The picture of one layer: the grid's field (cols * N by rows * N pixels), every pixel of a
// cell carrying the cell's colour. The channel Velmora reads holds 255 - count; the other two
// fall faster, (255 - count)^3 / 255^2, so the picture shades from white through its colour to
// black like a map of that layer (a cell of 20 workers is pale pink, one of 64 red, one of 128
// dark red).
std::string EncodeBitmap(const Grid& grid, const std::vector<uint8_t>& counts, LayerKind kind);

// Fails with a TownError naming --out unless dir is an existing folder this process can
// create files in (tried by creating and removing one).
void CheckOutputFolder(const std::string& dir);

// Writes every (file name, contents) into dir: each to a temporary file there first, and only
// when all are complete are they renamed over the names, so readers see the old set or the
// new one. On failure the temporary files are removed, the files renamed so far are put back
// as they were, and a TownError names the file.
void WriteTogether(const std::string& dir,
                   const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace velmora::town
