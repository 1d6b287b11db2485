// Drawing benchmarks on 16-bit surfaces:
//   BM_Frame480x640      one whole capture screen as the program draws it: rounded panels, six
//                        picture buttons (each picture loaded from the resources, stretched 2x
//                        with white transparent), word-broken captions, status lines, Cancel;
//   BM_TurnedCopy/N      the full-screen copy of a 480 x 640 page turned by N degrees, one 16-bit
//                        pixel at a time from the page's bottom-up memory (0: a plain BitBlt);
//   BM_<primitive>       the pieces of a frame on their own.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "ce/gdi.h"

namespace {

const COLORREF kPanelBlue = RGB(96, 152, 200);
const COLORREF kWhite = RGB(255, 255, 255);

// A memory context over a bottom-up 16-bit section, as the program keeps its surfaces.
struct Surface {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  uint16_t* bits;
  int width, height;
  Surface(int w, int h) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
    dc = CreateCompatibleDC(nullptr);
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint16_t*>(p);
    old = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

struct Objects {
  HPEN bluePen = CreatePen(PS_SOLID, 0, kPanelBlue), whitePen = CreatePen(PS_SOLID, 0, kWhite);
  HBRUSH blueBrush = CreateSolidBrush(kPanelBlue), whiteBrush = CreateSolidBrush(kWhite);
  HFONT title = CreateFontW(34, 13, 0, 0, 850, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
  HFONT caption = CreateFontW(26, 11, 0, 0, 800, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
  ~Objects() {
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(bluePen), static_cast<HGDIOBJ>(whitePen), static_cast<HGDIOBJ>(blueBrush),
                      static_cast<HGDIOBJ>(whiteBrush), static_cast<HGDIOBJ>(title), static_cast<HGDIOBJ>(caption)})
      DeleteObject(o);
  }
};

void DrawFrame(Surface& s, Objects& o) {
  const int W = s.width, H = s.height, scale = 2;
  const int titleHeight = 33, statusHeight = 75, buttonWidth = 240, buttonHeight = 178, cancelWidth = 120;
  HDC dc = s.dc;
  HGDIOBJ oldPen = SelectObject(dc, o.bluePen), oldBrush = SelectObject(dc, o.blueBrush);
  HGDIOBJ oldFont = SelectObject(dc, o.title);
  RoundRect(dc, 0, 0, W, H, 9, 9);
  SetBkColor(dc, kPanelBlue);
  SetTextColor(dc, kWhite);
  ExtTextOutW(dc, 5, 4 - 4 * scale, 0, nullptr, u"Select POI type (1/2):", 22, nullptr);
  SelectObject(dc, o.whitePen);
  SelectObject(dc, o.whiteBrush);
  RoundRect(dc, 0, titleHeight, W, H - statusHeight, 9, 9);
  const char16_t* labels[6] = {u"Gatso", u"Mobile", u"Temporary", u"Specs", u"Redlight", u""};
  SetBkColor(dc, kWhite);
  SetTextColor(dc, RGB(0, 0, 0));
  for (int i = 0; i < 6; ++i) {
    int left = (i % 2) * (buttonWidth - 1) + 1, top = titleHeight + (i / 2) * (buttonHeight - 1) + 1;
    if (top + buttonHeight > H - statusHeight) --top;
    RoundRect(dc, left, top, left + buttonWidth - 1, top + buttonHeight - 1, 9, 9);
    int x = left + (buttonWidth - 78 * scale) / 2, y = top + (scale * H) / 53;
    HBITMAP picture = LoadBitmapW(nullptr, MAKEINTRESOURCEW(104));
    TransparentImage(dc, x, y, 78 * scale, 48 * scale, picture, 0, 0, 78, 48, kWhite);
    DeleteObject(picture);
    SelectObject(dc, o.caption);
    RECT r{x, y + 48 * scale, x + 78 * scale, y + 80 * scale};
    DrawTextW(dc, labels[i], -1, &r, DT_CENTER | DT_WORDBREAK);
  }
  SelectObject(dc, oldFont);
  SetBkColor(dc, kPanelBlue);
  SetTextColor(dc, kWhite);
  ExtTextOutW(dc, 4, H - 12 * scale - 2, 0, nullptr, u"v1.09N 051121", 13, nullptr);
  ExtTextOutW(dc, 4, H - 36 * scale - 2, 0, nullptr, u"Unknown type and speed                       ", 45, nullptr);
  SelectObject(dc, o.bluePen);
  SelectObject(dc, o.blueBrush);
  RoundRect(dc, W - cancelWidth - 3, H - statusHeight + 3, W - 3, H - 3, 9, 9);
  SelectObject(dc, o.title);
  RECT cancel{W - cancelWidth - 3, H - statusHeight + 10 * scale, W - 3, H - statusHeight + 10 * scale + 30};
  DrawTextW(dc, u"Cancel", -1, &cancel, DT_CENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
}

void BM_Frame480x640(benchmark::State& state) {
  Surface s(480, 640);
  Objects o;
  DrawFrame(s, o);  // glyphs rendered once, as after the first paint
  for (auto _ : state) {
    DrawFrame(s, o);
    benchmark::DoNotOptimize(s.bits[0]);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Frame480x640)->Unit(benchmark::kMicrosecond);

// The page is W x H (480 x 640 turned: 640 x 480 for a quarter turn); the screen 480 x 640.
void BM_TurnedCopy(benchmark::State& state) {
  const int orientation = static_cast<int>(state.range(0)) / 90;
  const int PW = 480, PH = 640;
  const int W = orientation % 2 ? PH : PW, H = orientation % 2 ? PW : PH;
  Surface page(W, H), screen(PW, PH);
  for (int i = 0; i < W * H; ++i) page.bits[i] = static_cast<uint16_t>(i * 2654435761u >> 16);
  // Bottom-up rows: logical row y lives at memory row H - 1 - y.
  for (auto _ : state) {
    if (orientation == 0) {
      BitBlt(screen.dc, 0, 0, PW, PH, page.dc, 0, 0, SRCCOPY);
    } else {
      for (int y = 0; y < H; ++y) {
        const uint16_t* src = page.bits + (H - 1 - y) * W;
        for (int x = 0; x < W; ++x) {
          int sx, sy;
          if (orientation == 1) {
            sx = y;
            sy = W - 1 - x;
          } else if (orientation == 2) {
            sx = W - 1 - x;
            sy = H - 1 - y;
          } else {
            sx = H - 1 - y;
            sy = x;
          }
          screen.bits[(PH - 1 - sy) * PW + sx] = src[x];
        }
      }
    }
    benchmark::DoNotOptimize(screen.bits[0]);
  }
  state.SetBytesProcessed(state.iterations() * PW * PH * 2);
}
BENCHMARK(BM_TurnedCopy)->Arg(0)->Arg(90)->Arg(180)->Arg(270)->Unit(benchmark::kMicrosecond);

void BM_RoundRectFullScreen(benchmark::State& state) {
  Surface s(480, 640);
  Objects o;
  SelectObject(s.dc, o.bluePen);
  SelectObject(s.dc, o.blueBrush);
  for (auto _ : state) RoundRect(s.dc, 0, 0, 480, 640, 9, 9);
  SelectObject(s.dc, GetStockObject(BLACK_PEN));
  SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
}
BENCHMARK(BM_RoundRectFullScreen)->Unit(benchmark::kMicrosecond);

void BM_TransparentPicture2x(benchmark::State& state) {
  Surface s(480, 640);
  HBITMAP picture = LoadBitmapW(nullptr, MAKEINTRESOURCEW(104));
  for (auto _ : state) TransparentImage(s.dc, 40, 40, 156, 96, picture, 0, 0, 78, 48, kWhite);
  DeleteObject(picture);
}
BENCHMARK(BM_TransparentPicture2x)->Unit(benchmark::kMicrosecond);

void BM_LoadBitmapResource(benchmark::State& state) {
  for (auto _ : state) {
    HBITMAP picture = LoadBitmapW(nullptr, MAKEINTRESOURCEW(104));
    benchmark::DoNotOptimize(picture);
    DeleteObject(picture);
  }
}
BENCHMARK(BM_LoadBitmapResource)->Unit(benchmark::kMicrosecond);

void BM_DrawTextCaption(benchmark::State& state) {
  Surface s(480, 640);
  Objects o;
  HGDIOBJ old = SelectObject(s.dc, o.caption);
  RECT r{100, 100, 256, 164};
  for (auto _ : state) DrawTextW(s.dc, u"Variable speed", -1, &r, DT_CENTER | DT_WORDBREAK);
  SelectObject(s.dc, old);
}
BENCHMARK(BM_DrawTextCaption)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
