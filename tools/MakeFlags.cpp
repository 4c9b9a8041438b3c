// make-flags OUTDIR
// Draws the language pictures shown beside dictionary names: cz.bmp, gb.bmp
// and ru.bmp, 30 x 20 pixels, uncompressed 24-bit BMP.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 30;
constexpr int kHeight = 20;

struct Rgb {
  double r, g, b;
};

// Flag colours, the usual published values.
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kCzRed{215, 20, 26};
constexpr Rgb kCzBlue{17, 69, 126};
constexpr Rgb kGbBlue{1, 33, 105};
constexpr Rgb kGbRed{200, 16, 46};
constexpr Rgb kRuBlue{0, 57, 166};
constexpr Rgb kRuRed{213, 43, 30};

// A flag is a colour for every point of the unit square: x from the hoist
// (0) to the fly (1), y from the top (0) to the bottom (1).
using Design = std::function<Rgb(double x, double y)>;

Rgb czech(double x, double y) {
  // The wedge reaches half the width, its edges going to the corners.
  if (x < 0.5 * (1.0 - std::abs(2.0 * y - 1.0))) return kCzBlue;
  return y < 0.5 ? kWhite : kCzRed;
}

Rgb union_flag(double x, double y) {
  // Work in units of 1/30 of the height, centred, y upwards.
  const double h = 30.0;
  const double w = h * kWidth / kHeight;
  const double px = (x - 0.5) * w;
  const double py = (0.5 - y) * h;

  if (std::abs(px) < 3 || std::abs(py) < 3) return kGbRed;
  if (std::abs(px) < 5 || std::abs(py) < 5) return kWhite;

  // The diagonal of this quarter, and the distance from it measured
  // anticlockwise: the red stripes lie anticlockwise of the diagonals,
  // which leaves the broad white above the red at the hoist top.
  const double dx = (px < 0 ? -w : w) / 2;
  const double dy = (py < 0 ? -h : h) / 2;
  const double len = std::hypot(dx, dy);
  const double side = (dx * py - dy * px) / len;
  if (side > 0 && side < 2) return kGbRed;
  if (std::abs(side) < 3) return kWhite;
  return kGbBlue;
}

Rgb russian(double, double y) {
  // Thirds of 20 rows would blur two rows; 7, 6 and 7 whole rows read better.
  if (y < 0.35) return kWhite;
  return y < 0.65 ? kRuBlue : kRuRed;
}

// Rows top first, three bytes a pixel in B, G, R order. Each pixel averages
// a few samples so that the thin diagonal stripes stay visible at this size.
std::vector<std::uint8_t> paint(const Design& design) {
  constexpr int n = 4;
  std::vector<std::uint8_t> pixels;
  pixels.reserve(kWidth * kHeight * 3);
  for (int row = 0; row < kHeight; ++row) {
    for (int col = 0; col < kWidth; ++col) {
      Rgb sum{0, 0, 0};
      for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
          const Rgb c = design((col + (j + 0.5) / n) / kWidth, (row + (i + 0.5) / n) / kHeight);
          sum.r += c.r;
          sum.g += c.g;
          sum.b += c.b;
        }
      }
      for (double v : {sum.b, sum.g, sum.r}) {
        pixels.push_back(static_cast<std::uint8_t>(std::lround(v / (n * n))));
      }
    }
  }
  return pixels;
}

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

bool write_bmp(const std::filesystem::path& path, const std::vector<std::uint8_t>& pixels) {
  const std::uint32_t stride = (kWidth * 3 + 3) / 4 * 4;
  const std::uint32_t image_size = stride * kHeight;
  const std::uint32_t offset = 14 + 40;

  std::string out;
  out += "BM";
  put32(out, offset + image_size);
  put32(out, 0);  // reserved
  put32(out, offset);

  put32(out, 40);  // size of this header
  put32(out, kWidth);
  put32(out, kHeight);  // positive: rows stored bottom-up
  put16(out, 1);        // planes
  put16(out, 24);       // bits per pixel
  put32(out, 0);        // no compression
  put32(out, image_size);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);  // colours used
  put32(out, 0);  // important colours

  for (int row = kHeight - 1; row >= 0; --row) {
    const auto* begin = pixels.data() + row * kWidth * 3;
    out.append(reinterpret_cast<const char*>(begin), kWidth * 3);
    out.append(stride - kWidth * 3, '\0');
  }

  std::ofstream file(path, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  file.close();
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-flags OUTDIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const struct {
    const char* name;
    Design design;
  } flags[] = {{"cz.bmp", czech}, {"gb.bmp", union_flag}, {"ru.bmp", russian}};

  for (const auto& flag : flags) {
    const auto path = dir / flag.name;
    if (!write_bmp(path, paint(flag.design))) {
      std::fprintf(stderr, "make-flags: cannot write %s\n", path.string().c_str());
      return 1;
    }
  }
  return 0;
}
