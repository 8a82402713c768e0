#include "pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "counts.h"
#include "town_error.h"

namespace velmora::town {

namespace {

constexpr std::array<const char*, kLayerCount> kFiles = {"arbeiter.bmp", "arbeitsstaetten.bmp",
                                                         "verkaufsflaechen.bmp"};
constexpr std::array<const char*, kLayerCount> kChannels = {"red", "green", "blue"};

void Put16(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}

std::string Joined(const std::string& dir, const std::string& name) {
  return !dir.empty() && dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string ErrorText(int error) {
  return std::strerror(error);
}

// A new file in dir with a unique hidden name, readable like any file this user creates.
int CreateTemporary(const std::string& dir, std::string& path) {
  path = Joined(dir, ".velmora-town-XXXXXX");
  const int fd = mkstemp(path.data());
  if (fd < 0) return fd;
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  return fd;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return fsync(fd) == 0;
}

}  // namespace

const char* PictureFileName(LayerKind kind) {
  return kFiles[kind];
}
const char* ChannelName(LayerKind kind) {
  return kChannels[kind];
}

std::string EncodeBitmap(const Grid& grid, const std::vector<uint8_t>& counts, LayerKind kind) {
  const int width = grid.PixelWidth(), height = grid.PixelHeight(), n = grid.cellSize;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  const size_t imageSize = stride * static_cast<size_t>(height);
  std::string bmp(54 + imageSize, '\0');
  bmp[0] = 'B';
  bmp[1] = 'M';
  Put32(bmp, 2, static_cast<uint32_t>(bmp.size()));
  Put32(bmp, 10, 54);     // pixel data offset
  Put32(bmp, 14, 40);     // BITMAPINFOHEADER
  Put32(bmp, 18, width);  // height positive: rows bottom-up
  Put32(bmp, 22, height);
  Put16(bmp, 26, 1);   // planes
  Put16(bmp, 28, 24);  // bits per pixel; compression 0 (none)
  Put32(bmp, 34, static_cast<uint32_t>(imageSize));
  Put32(bmp, 38, 2835);  // 72 dpi
  Put32(bmp, 42, 2835);

  // Bytes are blue, green, red; the channel read sits at 2 - kind.
  const int readByte = 2 - kind;
  std::string row(stride, '\0');
  for (int r = 0; r < grid.rows; ++r) {
    for (int c = 0; c < grid.cols; ++c) {
      const int light = kMaxCount - counts[static_cast<size_t>(r) * grid.cols + c];
      const int scale = kMaxCount * kMaxCount;
      const char other = static_cast<char>((light * light * light + scale / 2) / scale);
      for (int x = c * n; x < (c + 1) * n; ++x) {
        char* px = &row[static_cast<size_t>(x) * 3];
        px[0] = px[1] = px[2] = other;
        px[readByte] = static_cast<char>(light);
      }
    }
    // Picture row y = r * n .. r * n + n - 1 is file row height - 1 - y.
    for (int y = r * n; y < (r + 1) * n; ++y)
      bmp.replace(54 + static_cast<size_t>(height - 1 - y) * stride, stride, row);
  }
  return bmp;
}

void CheckOutputFolder(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0)
    throw TownError("--out: folder '" + dir + "': " + ErrorText(errno) + " (create it first)");
  if (!S_ISDIR(st.st_mode)) throw TownError("--out: '" + dir + "' is not a folder");
  std::string probe;
  const int fd = CreateTemporary(dir, probe);
  if (fd < 0) throw TownError("--out: cannot write into '" + dir + "': " + ErrorText(errno));
  close(fd);
  unlink(probe.c_str());
}

void WriteTogether(const std::string& dir,
                   const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<std::string> temporaries;
  auto removeTemporaries = [&] {
    for (const std::string& t : temporaries) unlink(t.c_str());
  };
  for (const auto& [name, contents] : files) {
    std::string path;
    const int fd = CreateTemporary(dir, path);
    if (fd < 0) {
      const int error = errno;
      removeTemporaries();
      throw TownError("--out: cannot write '" + Joined(dir, name) + "': " + ErrorText(error));
    }
    temporaries.push_back(path);
    const bool written = WriteAll(fd, contents);
    const int error = errno;
    if (close(fd) != 0 || !written) {
      removeTemporaries();
      throw TownError("--out: cannot write '" + Joined(dir, name) +
                      "': " + ErrorText(written ? errno : error));
    }
  }

  // Every file is complete. Keep a hard link to each file about to be replaced, so a rename
  // that fails half-way can put the earlier ones back (a file system without hard links only
  // loses that way back).
  std::vector<std::string> backups(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string target = Joined(dir, files[i].first);
    const std::string backup = temporaries[i] + ".old";
    if (link(target.c_str(), backup.c_str()) == 0) backups[i] = backup;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string target = Joined(dir, files[i].first);
    if (rename(temporaries[i].c_str(), target.c_str()) == 0) continue;
    const int error = errno;
    for (size_t j = 0; j < i; ++j) {
      const std::string earlier = Joined(dir, files[j].first);
      if (!backups[j].empty())
        rename(backups[j].c_str(), earlier.c_str());
      else
        unlink(earlier.c_str());
    }
    for (size_t j = i; j < files.size(); ++j) unlink(temporaries[j].c_str());
    for (const std::string& b : backups)
      if (!b.empty()) unlink(b.c_str());
    throw TownError("--out: cannot replace '" + target + "': " + ErrorText(error));
  }
  for (const std::string& b : backups)
    if (!b.empty()) unlink(b.c_str());
}

}  // namespace velmora::town
