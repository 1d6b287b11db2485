// Writes a 78 x 48, 4-bit button picture like the program's: a speed sign on white.
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const int w = 78, h = 48, rowBytes = 40;  // 78 pixels at 4 bits, padded to 4 bytes
  // The standard 16 colours as red, green, blue.
  const uint8_t palette[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                  {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                  {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                  {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  std::vector<uint8_t> f;
  auto put16 = [&](unsigned v) {
    f.push_back(v & 255);
    f.push_back((v >> 8) & 255);
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16('B' | ('M' << 8));
  put32(14 + 40 + 64 + rowBytes * h);
  put32(0);
  put32(14 + 40 + 64);
  put32(40);
  put32(w);
  put32(h);
  put16(1);
  put16(4);
  put32(0);
  put32(rowBytes * h);
  put32(0);
  put32(0);
  put32(16);
  put32(0);
  for (auto& c : palette) {  // stored as blue, green, red, 0
    f.push_back(c[2]);
    f.push_back(c[1]);
    f.push_back(c[0]);
    f.push_back(0);
  }
  for (int row = 0; row < h; ++row) {
    int y = h - 1 - row;
    std::vector<uint8_t> line(rowBytes, 0);
    for (int x = 0; x < w; ++x) {
      int dx = x - 39, dy = y - 24, d = dx * dx + dy * dy;
      int index = d < 400 ? (d < 256 ? 15 : 12) : 15;  // white face, blue rim
      if (d < 100 && (dx == 0 || dy == 0)) index = 0;
      line[x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 0 : 4));
    }
    f.insert(f.end(), line.begin(), line.end());
  }
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  bool ok = std::fwrite(f.data(), 1, f.size(), out) == f.size();
  return (std::fclose(out) == 0 && ok) ? 0 : 1;
}
