// ico_pack: writes a Windows icon file holding each picture at 32, 8 and 4
// bits per pixel, from square RGBA pictures (8 bits a channel, rows top to
// bottom). The 8-bit images use a 6x6x6 colour cube plus greys, the 4-bit
// ones the 16 standard VGA colours, each pixel taking the nearest colour; a
// pixel with alpha below 128 is transparent in the mask. Same input, same bytes.
//   ico_pack OUT.ico SIZE:FILE.rgba[:4] ...   ":4" also adds a 4-bit image
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct Picture {
  int size;
  bool fourBit;
  std::vector<uint8_t> rgba;
};

struct Rgb {
  uint8_t r, g, b;
};

static std::vector<Rgb> cubePalette() {
  std::vector<Rgb> palette;
  for (int r = 0; r < 6; r++)
    for (int g = 0; g < 6; g++)
      for (int b = 0; b < 6; b++)
        palette.push_back({uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)});
  // Greys between the cube's own, so that shading stays smooth.
  for (int k = 0; k < 40; k++) {
    const uint8_t v = uint8_t(3 + k * 250 / 39);
    palette.push_back({v, v, v});
  }
  return palette;
}

static std::vector<Rgb> vgaPalette() {
  return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
          {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
          {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

static int nearest(const std::vector<Rgb>& palette, const uint8_t* p) {
  int best = 0;
  long bestDistance = -1;
  for (size_t k = 0; k < palette.size(); k++) {
    const long dr = long(palette[k].r) - p[0], dg = long(palette[k].g) - p[1],
               db = long(palette[k].b) - p[2];
    const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = int(k);
    }
  }
  return best;
}

static void put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

static void put32(std::vector<uint8_t>& out, unsigned v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}

// One image: header, palette, colour rows and mask rows, both bottom-up.
static std::vector<uint8_t> encode(const Picture& picture, int bits) {
  const int n = picture.size;
  const int colourRow = ((n * bits + 31) / 32) * 4;
  const int maskRow = ((n + 31) / 32) * 4;
  std::vector<Rgb> palette;
  if (bits == 8) palette = cubePalette();
  if (bits == 4) palette = vgaPalette();
  const size_t paletteSize = bits == 32 ? 0 : (size_t(1) << bits);
  std::vector<uint8_t> out;
  put32(out, 40);
  put32(out, unsigned(n));
  put32(out, unsigned(2 * n));
  put16(out, 1);
  put16(out, unsigned(bits));
  put32(out, 0);
  put32(out, unsigned((colourRow + maskRow) * n));
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  for (size_t k = 0; k < paletteSize; k++) {
    const Rgb c = k < palette.size() ? palette[k] : Rgb{0, 0, 0};
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = n - 1; y >= 0; y--) {
    std::vector<uint8_t> row(size_t(colourRow), 0);
    for (int x = 0; x < n; x++) {
      const uint8_t* p = &picture.rgba[(size_t(y) * n + x) * 4];
      const bool opaque = p[3] >= 128;
      if (bits == 32) {
        row[size_t(x) * 4 + 0] = p[2];
        row[size_t(x) * 4 + 1] = p[1];
        row[size_t(x) * 4 + 2] = p[0];
        row[size_t(x) * 4 + 3] = p[3];
      } else {
        const int index = opaque ? nearest(palette, p) : 0;
        if (bits == 8)
          row[size_t(x)] = uint8_t(index);
        else
          row[size_t(x) / 2] |= uint8_t(x % 2 ? index : index << 4);
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = n - 1; y >= 0; y--) {
    std::vector<uint8_t> row(size_t(maskRow), 0);
    for (int x = 0; x < n; x++)
      if (picture.rgba[(size_t(y) * n + x) * 4 + 3] < 128)
        row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

static bool readPicture(const std::string& argument, Picture* picture) {
  const size_t colon = argument.find(':');
  if (colon == std::string::npos) return false;
  picture->size = std::atoi(argument.c_str());
  std::string path = argument.substr(colon + 1);
  picture->fourBit = path.size() > 2 && path.compare(path.size() - 2, 2, ":4") == 0;
  if (picture->fourBit) path.resize(path.size() - 2);
  if (picture->size <= 0 || picture->size > 256) return false;
  picture->rgba.assign(size_t(picture->size) * picture->size * 4, 0);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const size_t got = std::fread(picture->rgba.data(), 1, picture->rgba.size(), file);
  std::fclose(file);
  return got == picture->rgba.size();
}

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ico_pack OUT.ico SIZE:FILE.rgba[:4] ...\n");
    return 2;
  }
  std::vector<Picture> pictures;
  for (int k = 2; k < argc; k++) {
    Picture picture;
    if (!readPicture(argv[k], &picture)) {
      std::fprintf(stderr, "ico_pack: cannot read %s\n", argv[k]);
      return 1;
    }
    pictures.push_back(picture);
  }
  struct Entry {
    int size, bits;
    std::vector<uint8_t> data;
  };
  std::vector<Entry> entries;
  for (int bits : {32, 8, 4})
    for (const Picture& p : pictures)
      if (bits != 4 || p.fourBit) entries.push_back({p.size, bits, encode(p, bits)});

  std::vector<uint8_t> out;
  put16(out, 0);
  put16(out, 1);
  put16(out, unsigned(entries.size()));
  unsigned offset = unsigned(6 + 16 * entries.size());
  for (const Entry& e : entries) {
    out.push_back(uint8_t(e.size == 256 ? 0 : e.size));
    out.push_back(uint8_t(e.size == 256 ? 0 : e.size));
    out.push_back(uint8_t(e.bits == 4 ? 16 : 0));
    out.push_back(0);
    put16(out, 1);
    put16(out, unsigned(e.bits));
    put32(out, unsigned(e.data.size()));
    put32(out, offset);
    offset += unsigned(e.data.size());
  }
  for (const Entry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  FILE* file = std::fopen(argv[1], "wb");
  if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size()) {
    std::fprintf(stderr, "ico_pack: cannot write %s\n", argv[1]);
    return 1;
  }
  return std::fclose(file) == 0 ? 0 : 1;
}
