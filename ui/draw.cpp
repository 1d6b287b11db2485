// Page drawing. Start at drawPage: it paints the bands, the title, the button panel and then
// every place that is not blank through drawButton, the status lines and the Cancel button.
// All coordinates are in the logical surface; presentFrame does the turning.

#include "ui/draw.h"

#include "resources/resource.h"
#include "ui/buttons.h"
#include "ui/layout.h"
#include "ui/run_state.h"

HBITMAP logicalSurface = NULL;
void* logicalBits = NULL;
HBITMAP physicalSurface = NULL;
void* physicalBits = NULL;
HPEN panelPen = NULL, cancelPen = NULL, whitePen = NULL;
HBRUSH panelBrush = NULL, cancelBrush = NULL, whiteBrush = NULL;
HFONT titleFont = NULL;
HFONT buttonFont = NULL;
HGDIOBJ replacedBitmap = NULL, replacedPen = NULL, replacedBrush = NULL;
HGDIOBJ defaultFont = NULL;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const int kCorner = 9;  // every rounded rectangle's corner ellipse
const int kPictureWidth = 78, kPictureHeight = 48;
const int kIconSize = 22;  // custom category icons

const WCHAR kVersionText[] = TEXT("v1.09N 051121");
const WCHAR kBlankCountdown[] = TEXT("                       ");  // 23 blanks

// Bytes per row of a 16-bit device-independent bitmap: rows are padded to whole 32-bit words.
int dibStride(int width) { return (width * 2 + 3) & ~3; }

HBITMAP createSurface(int width, int height, void** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: bottom-up rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 16;
  info.bmiHeader.biCompression = BI_RGB;
  *bits = NULL;
  return CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, bits, NULL, 0);
}

HFONT createTahoma(int height, int width, int weight) {
  LOGFONTW font = {};
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfWeight = weight;
  StringCchCopyW(font.lfFaceName, LF_FACESIZE, TEXT("Tahoma"));
  return CreateFontIndirectW(&font);
}

void textAt(int x, int y, LPCWSTR text) {
  ExtTextOutW(memoryDC, x, y, 0, NULL, text, static_cast<UINT>(lstrlenW(text)), NULL);
}

// A picture drawn stretched over (x, y, width, height) with white left out, then released.
void drawPicture(HBITMAP picture, int x, int y, int width, int height, int srcWidth, int srcHeight) {
  if (picture == NULL) return;
  TransparentImage(memoryDC, x, y, width, height, picture, 0, 0, srcWidth, srcHeight, kWhite);
  DeleteObject(picture);
}

template <class Handle>
void deleteObject(Handle& object) {
  if (object != NULL) DeleteObject(object);
  object = NULL;
}

}  // namespace

void createDrawingObjects() {
  logicalSurface = createSurface(logicalWidth, logicalHeight, &logicalBits);
  physicalSurface = createSurface(physicalWidth, physicalHeight, &physicalBits);
  replacedBitmap = SelectObject(memoryDC, logicalSurface);

  panelPen = CreatePen(PS_SOLID, 0, panelBlue);
  cancelPen = CreatePen(PS_SOLID, 0, cancelBlue);
  whitePen = CreatePen(PS_SOLID, 0, kWhite);
  replacedPen = SelectObject(memoryDC, panelPen);

  panelBrush = CreateSolidBrush(panelBlue);
  cancelBrush = CreateSolidBrush(cancelBlue);
  whiteBrush = CreateSolidBrush(kWhite);
  replacedBrush = SelectObject(memoryDC, panelBrush);

  titleFont = createTahoma(16 * scale + 2, 6 * scale + 1, 850);
  buttonFont = createTahoma(10 * scale + 6, 5 * scale + 1, 800);
  defaultFont = SelectObject(memoryDC, titleFont);
}

void releaseDrawingObjects() {
  if (memoryDC != NULL) {
    if (replacedBitmap != NULL) SelectObject(memoryDC, replacedBitmap);
    if (replacedPen != NULL) SelectObject(memoryDC, replacedPen);
    if (replacedBrush != NULL) SelectObject(memoryDC, replacedBrush);
    if (defaultFont != NULL) SelectObject(memoryDC, defaultFont);
  }
  deleteObject(logicalSurface);
  deleteObject(physicalSurface);
  deleteObject(panelPen);
  deleteObject(cancelPen);
  deleteObject(whitePen);
  deleteObject(panelBrush);
  deleteObject(cancelBrush);
  deleteObject(whiteBrush);
  deleteObject(titleFont);
  deleteObject(buttonFont);
  logicalBits = physicalBits = NULL;
  replacedBitmap = replacedPen = replacedBrush = defaultFont = NULL;
  if (memoryDC != NULL) DeleteDC(memoryDC);
  memoryDC = NULL;
}

void drawPage() {
  const int W = logicalWidth, H = logicalHeight;

  SelectObject(memoryDC, panelPen);
  SelectObject(memoryDC, panelBrush);
  RoundRect(memoryDC, 0, 0, W, H, kCorner, kCorner);

  SetBkColor(memoryDC, panelBlue);
  SetTextColor(memoryDC, kWhite);
  SelectObject(memoryDC, titleFont);
  textAt(5, 4 - 4 * scale, pageTitle(currentPage));

  SelectObject(memoryDC, whitePen);
  SelectObject(memoryDC, whiteBrush);
  RoundRect(memoryDC, 0, titleHeight, W, H - statusHeight, kCorner, kCorner);

  for (int place = 1; place <= PlacesPerPage; ++place)
    if (slotAt(currentPage, place)->target != 0) drawButton(place, FALSE);

  // Status band: version, countdown (only with the timer option), then the selection so far.
  SelectObject(memoryDC, defaultFont);
  SetBkColor(memoryDC, panelBlue);
  SetTextColor(memoryDC, kWhite);
  textAt(4, H - 12 * scale - 2, kVersionText);
  if (timerOption == 1) {
    WCHAR line[32];
    if (countdownRunning != 0)
      StringCchPrintfW(line, 32, TEXT("Saving in %d s   "), countdownValue);
    else
      StringCchCopyW(line, 32, kBlankCountdown);
    textAt(4, H - 24 * scale - 2, line);
  }
  WCHAR status[2 * SelectionLabelChars + 32];
  StringCchPrintfW(status, sizeof status / sizeof status[0], TEXT("%s %s                       "), typeLabel,
                   speedLabel);
  textAt(4, H - 36 * scale - 2, status);

  drawCancelButton(FALSE);
  SelectObject(memoryDC, defaultFont);
}

void drawButton(int place, BOOL pressed) {
  if (place < 1 || place > PlacesPerPage) return;
  const ButtonSlot* slot = slotAt(currentPage, place);

  if (pressed) {
    SetBkColor(memoryDC, panelBlue);
    SetTextColor(memoryDC, kWhite);
    SelectObject(memoryDC, panelPen);
    SelectObject(memoryDC, panelBrush);
  } else {
    SetBkColor(memoryDC, kWhite);
    SetTextColor(memoryDC, kBlack);
    SelectObject(memoryDC, whitePen);
    SelectObject(memoryDC, whiteBrush);
  }
  const RECT r = placeRect(place);
  RoundRect(memoryDC, r.left, r.top, r.right, r.bottom, kCorner, kCorner);

  const int x = r.left + (buttonWidth - kPictureWidth * scale) / 2;
  const int y = r.top + (scale * logicalHeight) / 53;
  const int pictureWidth = kPictureWidth * scale, pictureHeight = kPictureHeight * scale;
  drawPicture(LoadBitmapW(instanceHandle, MAKEINTRESOURCEW(slot->bitmapId)), x, y, pictureWidth, pictureHeight,
              kPictureWidth, kPictureHeight);

  // A custom point shows its category's icon inside the frame when the map folder has one.
  if (slot->code >= CodeFirstCustom) {
    WCHAR folder[sizeof mapFolder];
    WCHAR path[MAX_PATH];
    if (mbstowcs(folder, mapFolder, sizeof mapFolder) == static_cast<size_t>(-1)) folder[0] = 0;
    folder[sizeof mapFolder - 1] = 0;
    if (SUCCEEDED(StringCchPrintfW(path, MAX_PATH, TEXT("%s%s.bmp"), folder, slot->label)))
      drawPicture(SHLoadDIBitmap(path), x + 11 * scale, y + scale, 44 * scale, 44 * scale, kIconSize, kIconSize);
  }

  if (slot->code == CodeToggleTimer && timerOption == 1)
    drawPicture(LoadBitmapW(instanceHandle, MAKEINTRESOURCEW(IDB_TIMER_CROSS)), x, y, pictureWidth, pictureHeight,
                kPictureWidth, kPictureHeight);

  SelectObject(memoryDC, buttonFont);
  RECT caption = {x, y + 48 * scale, x + 78 * scale, y + 80 * scale};
  DrawTextW(memoryDC, slot->label, -1, &caption, DT_CENTER | DT_WORDBREAK | DT_TOP);
}

void drawCancelButton(BOOL pressed) {
  const int W = logicalWidth, H = logicalHeight;
  if (pressed) {
    SelectObject(memoryDC, GetStockObject(BLACK_PEN));
    SelectObject(memoryDC, GetStockObject(BLACK_BRUSH));
    SetBkColor(memoryDC, kBlack);
  } else {
    SelectObject(memoryDC, cancelPen);
    SelectObject(memoryDC, cancelBrush);
    SetBkColor(memoryDC, cancelBlue);
  }
  SetTextColor(memoryDC, kWhite);
  RoundRect(memoryDC, W - cancelWidth - 3, H - statusHeight + 3, W - 3, H - 3, kCorner, kCorner);

  SelectObject(memoryDC, titleFont);
  RECT r = {W - cancelWidth - 3, H - statusHeight + 10 * scale, W - 3, H - statusHeight + 10 * scale + 30};
  DrawTextW(memoryDC, TEXT("Cancel"), -1, &r, DT_CENTER | DT_SINGLELINE | DT_TOP);
}

void drawCountdownLine(LPCWSTR text) {
  SetBkColor(memoryDC, panelBlue);
  SetTextColor(memoryDC, kWhite);
  textAt(4, logicalHeight - 24 * scale - 2, text);
}

void presentFrame(HDC windowDC) {
  const int W = logicalWidth, H = logicalHeight;
  const int turn = orientation & 3;
  if (turn == 0) {
    BitBlt(windowDC, 0, 0, W, H, memoryDC, 0, 0, SRCCOPY);
    return;
  }
  // The turned copy needs both surfaces, and sizes that are each other's turn.
  if (logicalBits == NULL || physicalBits == NULL) return;
  const int PW = physicalWidth, PH = physicalHeight;
  if ((turn == 2 && (W != PW || H != PH)) || (turn != 2 && (W != PH || H != PW))) return;

  const int srcStride = dibStride(W), dstStride = dibStride(PW);
  const BYTE* src = static_cast<const BYTE*>(logicalBits);
  BYTE* dst = static_cast<BYTE*>(physicalBits);
  for (int y = 0; y < H; ++y) {
    // Bottom-up memory: row y of the picture is memory row height - 1 - y.
    const WORD* from = reinterpret_cast<const WORD*>(src + static_cast<size_t>(H - 1 - y) * srcStride);
    for (int x = 0; x < W; ++x) {
      int px, py;
      if (turn == 1) {  // a quarter turn anticlockwise: the page's top runs up the left side
        px = y;
        py = W - 1 - x;
      } else if (turn == 2) {
        px = W - 1 - x;
        py = H - 1 - y;
      } else {  // a quarter turn clockwise
        px = H - 1 - y;
        py = x;
      }
      WORD* to = reinterpret_cast<WORD*>(dst + static_cast<size_t>(PH - 1 - py) * dstStride);
      to[px] = from[x];
    }
  }
  SelectObject(memoryDC, physicalSurface);
  BitBlt(windowDC, 0, 0, PW, PH, memoryDC, 0, 0, SRCCOPY);
  SelectObject(memoryDC, logicalSurface);
}
