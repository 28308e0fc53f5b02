#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

std::string SharedFile(const std::string& relativePath) {
  fs::path p = fs::path(VELTRAX_SHARED_DIR) / relativePath;
  if (!fs::exists(p)) throw std::runtime_error("missing shared test file: " + p.string());
  return p.string();
}

namespace {

// Every test program runs in folders of its own: temporary files, the
// runtime folder (locks, the hand-off socket and list file), settings and
// the home folder. So tests never meet a running copy of the program, the
// user's settings or each other's files, and child processes inherit the
// same folders.
struct THermeticFolders {
  fs::path root;
  THermeticFolders() {
    std::string templ = (fs::temp_directory_path() / "veltrax-env-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    root = templ;
    const std::pair<const char*, const char*> folders[] = {
        {"TMPDIR", "tmp"},           {"XDG_RUNTIME_DIR", "runtime"}, {"XDG_CONFIG_HOME", "config"},
        {"XDG_CACHE_HOME", "cache"}, {"XDG_DATA_HOME", "data"},      {"HOME", "home"}};
    for (const auto& [variable, name] : folders) {
      const fs::path dir = root / name;
      fs::create_directories(dir);
      fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace);
      setenv(variable, dir.c_str(), 1);
    }
  }
  ~THermeticFolders() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};
const THermeticFolders hermeticFolders;

struct TempRoot {
  fs::path path;
  TempRoot() {
    std::string templ = (fs::temp_directory_path() / "veltrax-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path = templ;
  }
  ~TempRoot() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};
}  // namespace

std::string TestTempDir() {
  static TempRoot root;
  static int counter = 0;
  fs::path dir = root.path / std::to_string(counter++);
  fs::create_directories(dir);
  return dir.string();
}

void BlackPage(TDibGraphic& image, int width, int height, int dpi) {
  image.NewImage(width, height, ifBlackWhite, nullptr, dpi, dpi);
}

void RandomPage(TDibGraphic& image, int width, int height, double density, std::mt19937& rng) {
  MakeWhitePage(image, width, height);
  std::bernoulli_distribution ink(density);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (ink(rng)) image.SetPixelIndex(x, y, 0);
}

void MakeWhitePage(TDibGraphic& image, int width, int height, int dpi) {
  image.NewImage(width, height, ifBlackWhite, nullptr, dpi, dpi);
  std::fill(image.Bits(), image.Bits() + image.ImageSize(), 0xFF);
}

void MakePageFromText(TDibGraphic& image, const std::vector<std::string>& rows, int dpi) {
  int width = 0;
  for (const auto& r : rows) width = std::max<int>(width, static_cast<int>(r.size()));
  MakeWhitePage(image, width, static_cast<int>(rows.size()), dpi);
  for (int y = 0; y < static_cast<int>(rows.size()); ++y)
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
      if (rows[y][x] == '#') image.SetPixelIndex(x, y, 0);
}

bool SamePixels(const TDibGraphic& a, const TDibGraphic& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.ImageFormat() != b.ImageFormat() ||
      a.Palette() != b.Palette())
    return false;
  // Rows are packed from the high bit of their first byte on: the bytes the
  // pixels fill, then the used bits of the last one.
  const std::size_t bits = static_cast<std::size_t>(a.Width()) * static_cast<std::size_t>(a.BitCount());
  const std::size_t whole = bits / 8;
  const auto lastMask = static_cast<std::uint8_t>(0xFF00u >> (bits % 8));
  for (int y = 0; y < a.Height(); ++y) {
    const std::uint8_t* ra = a.ScanLine(y);
    const std::uint8_t* rb = b.ScanLine(y);
    if (std::memcmp(ra, rb, whole) != 0) return false;
    if (lastMask != 0 && ((ra[whole] ^ rb[whole]) & lastMask) != 0) return false;
  }
  return true;
}

TRect InkBounds(const TDibGraphic& page) {
  TRect r{page.Width(), page.Height(), 0, 0};
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x)
      if (page.GetPixel(x, y) == 0) {
        r.Left = std::min(r.Left, x), r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1), r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r;
}
