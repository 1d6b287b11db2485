// Graphics of the Windows CE stand-in: device contexts, 16-bit bitmaps, pens, brushes, fonts,
// shapes, text, block copies, and the program's compiled-in resources. Win32 names, types and
// values; the behaviour Windows documents unless a comment here says otherwise.
//
// Every surface is RGB565 (see ce/gdi/surface.h for the colour rules). A COLORREF is shown as the
// nearest-below 565 colour (channels truncated), and GetPixel widens it back by bit replication.
// Failures return 0/NULL/FALSE and set the last error: ERROR_INVALID_HANDLE for a handle that is
// not what the call wants, ERROR_INVALID_PARAMETER for bad arguments, ERROR_NOT_ENOUGH_MEMORY
// when an allocation or the handle table runs out. No call writes outside its bitmap.
#pragma once

#include "ce/types.h"

// ---- Object types, stock objects -------------------------------------------------------------

#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define OEM_FIXED_FONT 10
#define ANSI_FIXED_FONT 11
#define ANSI_VAR_FONT 12
#define SYSTEM_FONT 13
#define DEVICE_DEFAULT_FONT 14
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17

#define HGDI_ERROR ((HGDIOBJ)(intptr_t)-1)
#define CLR_INVALID 0xFFFFFFFF

// ---- Pens and brushes ------------------------------------------------------------------------

#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5

#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

typedef struct tagLOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
} LOGPEN, *LPLOGPEN;

typedef struct tagLOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
} LOGBRUSH, *LPLOGBRUSH;

// ---- Bitmaps ---------------------------------------------------------------------------------

#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2
#define BI_BITFIELDS 3

#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];  // for BI_BITFIELDS: three DWORD masks (red, green, blue)
} BITMAPINFO, *LPBITMAPINFO;

typedef struct tagBITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP, *LPBITMAP;

typedef struct tagDIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
} DIBSECTION;

// ---- Fonts and text --------------------------------------------------------------------------

#define LF_FACESIZE 32

#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30

typedef struct tagLOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *LPLOGFONTW;
typedef LOGFONTW LOGFONT;

typedef struct tagTEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
} TEXTMETRICW, *LPTEXTMETRICW;
typedef TEXTMETRICW TEXTMETRIC;

#define TRANSPARENT 1
#define OPAQUE 2

#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define GDI_ERROR 0xFFFFFFFF

#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004

#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_EXTERNALLEADING 0x00000200
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800

// ---- Raster operations, fill modes, regions --------------------------------------------------

#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define NOTSRCCOPY 0x00330008
#define DSTINVERT 0x00550009
#define PATCOPY 0x00F00021
#define PATINVERT 0x005A0049
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062

#define ALTERNATE 1
#define WINDING 2

#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2

// ---- Device capabilities ---------------------------------------------------------------------

#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90

#define DT_RASDISPLAY 1
#define RC_BITBLT 0x0001
#define RC_DI_BITMAP 0x0080
#define RC_STRETCHBLT 0x0800

// ---- Resources -------------------------------------------------------------------------------

#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)

// ---- Device contexts and objects -------------------------------------------------------------

// A memory context: default 1x1 bitmap, BLACK_PEN, WHITE_BRUSH, the system font, black text on
// white, OPAQUE. `dc` may be NULL or any context; no display is needed.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Returns what the selection replaced; NULL for a bad context or object, and for a bitmap that
// is already selected into another context (or a bitmap into a surface context).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
DWORD GetObjectType(HGDIOBJ object);
// Stock objects are never freed (TRUE). An object selected into a context is not freed (FALSE).
BOOL DeleteObject(HGDIOBJ object);
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
int GetDeviceCaps(HDC dc, int index);

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);

// ---- Bitmaps ---------------------------------------------------------------------------------

// 16 bits per pixel only, BI_RGB or BI_BITFIELDS with the masks F800/07E0/001F. A 16-bit BI_RGB
// section holds RGB565 here (Windows would use 555); a positive height is bottom-up memory.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// Always 16 bits per pixel (the display's depth), whatever bitmap `dc` holds (Windows would
// make a monochrome one for a fresh memory context); zero-filled; a size of 0 fails.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A .bmp file of the device (1, 4, 8, 16, 24 or 32 bits per pixel) as a 16-bit bitmap;
// NULL for a missing, short or malformed file.
HBITMAP SHLoadDIBitmap(LPCWSTR devicePath);

// ---- Shapes ----------------------------------------------------------------------------------
// Rectangles exclude their right and bottom edges. The pen draws the outline, the brush fills
// inside it; with a null pen the figure is one pixel smaller in width and height. Pens wider than
// one pixel draw shape outlines inside the figure's edge.

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Polygon(HDC dc, const POINT* points, int count);
BOOL Polyline(HDC dc, const POINT* points, int count);
int SetPolyFillMode(HDC dc, int mode);
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL LineTo(HDC dc, int x, int y);  // the end point is not drawn
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);  // the colour set, or CLR_INVALID outside
COLORREF GetPixel(HDC dc, int x, int y);                  // CLR_INVALID outside the bitmap
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int SelectClipRgn(HDC dc, HRGN region);  // only NULL (remove the clip rectangle) is supported
int GetClipBox(HDC dc, LPRECT rect);

// ---- Text ------------------------------------------------------------------------------------

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);

// Fonts are found by face name through fontconfig ("Tahoma" is Wine's Tahoma; an unknown face
// falls back to a sans face) and drawn monochrome, like a handheld's screen. lfHeight < 0:
// character (em) height; > 0: cell height (tmHeight is exactly lfHeight); 0: 12 pixels.
// lfWidth != 0 stretches the glyphs so the average lower-case width (weighted the classic way) is
// lfWidth. Weights of FW_BOLD and more use the bold face's outlines with one pixel added to every
// stem, which is how bold looks at these sizes; a family without a bold face is emboldened and
// widened. Regular text at 8 to 16 pixels uses Tahoma's own bitmaps. No kerning, no anti-aliasing.
// The system font (SYSTEM_FONT, every new context's font) is Tahoma with lfHeight -11.
HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName);
BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics);
int GetTextFaceW(HDC dc, int count, LPWSTR faceName);
// `count` of -1 is not accepted here (as in Windows); pass the length.
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
// `count` -1: NUL-terminated. Returns the text's height (with DT_VCENTER/DT_BOTTOM the offset of
// its bottom from rect->top); 0 on failure. A word wider than the rectangle is never split.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);

// ---- Block copies ----------------------------------------------------------------------------

// SRCCOPY, NOTSRCCOPY, SRCAND, SRCPAINT, SRCINVERT, PATCOPY, PATINVERT, DSTINVERT, BLACKNESS,
// WHITENESS. Copies are clipped to both bitmaps; source and destination may overlap.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Nearest neighbour; a negative width or height mirrors.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
                DWORD rop);
// A stretched copy that leaves out the source pixels of `transparent` (compared as 565).
// `src` is a context or a bitmap. Sizes must be positive.
BOOL TransparentImage(HDC dest, LONG x, LONG y, LONG width, LONG height, HANDLE src, LONG srcX, LONG srcY,
                      LONG srcWidth, LONG srcHeight, COLORREF transparent);
BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent);

// ---- Resources -------------------------------------------------------------------------------
// One executable, one table: the instance handle is not examined. Built by ce_add_resources().

// Copies at most count - 1 characters and a NUL; returns the characters copied. With count 0,
// *(LPCWSTR*)buffer receives the string in place (not NUL-terminated) and the length is returned.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int count);
// A new bitmap (delete it with DeleteObject); NULL (ERROR_RESOURCE_NAME_NOT_FOUND) when absent.
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
// A shared icon (never destroyed); the image nearest 32 x 32 of the icon group.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
BOOL DestroyIcon(HICON icon);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

#define LoadString LoadStringW
#define LoadBitmap LoadBitmapW
#define LoadIcon LoadIconW
#define FindResource FindResourceW
#define CreateFontIndirect CreateFontIndirectW
#define CreateFont CreateFontW
#define GetObject GetObjectW
#define GetTextMetrics GetTextMetricsW
#define GetTextFace GetTextFaceW
#define GetTextExtentPoint32 GetTextExtentPoint32W
#define ExtTextOut ExtTextOutW
#define TextOut TextOutW
#define DrawText DrawTextW
