// Fonts: logical fonts found through fontconfig, drawn by FreeType as one-bit glyphs (the look
// of a handheld's screen, and exact pixels for tests). Wine's Tahoma lives where fontconfig does
// not look, so its folder is added first. fontconfig's answers are kept between runs
// (font_cache.h), so a start whose answers still hold does not start fontconfig at all.
// Regular Tahoma at 8 to 16 pixels uses the font's own bitmaps; bold text always uses outlines,
// because the bold bitmaps are not bold.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "ce/gdi/font_cache.h"
#include "ce/gdi/internal.h"
#include "ce/kernel/utf.h"

namespace ce::gdi {

namespace {

constexpr const char* kWineFonts = "/usr/share/wine/fonts";
constexpr int kMaxFaces = 16;
constexpr int kMaxInstances = 64;
constexpr int kCacheSize = 512;  // glyphs per instance beyond the first 256 characters

std::recursive_mutex fontLock;
FT_Library library = nullptr;
bool engineReady = false;

struct FaceEntry {
  char path[512];
  int index;
  FT_Face face;
  long long averageUnits;  // AverageWidthUnits of the face, -1 until measured
};
FaceEntry faces[kMaxFaces];
int faceCount = 0;

}  // namespace

struct CachedGlyph {
  char32_t ch = 0;
  bool used = false;
  GlyphImage image;
};

struct FontInstance {
  // What identifies an instance.
  char path[512] = {};
  int faceIndex = 0;
  long xSize = 0;  // 26.6 pixels
  long ySize = 0;
  long boldX = 0;  // 26.6 pixels added to stems of bold text
  long boldY = 0;
  long boldAdvance = 0;
  bool oblique = false;
  bool noBitmaps = false;
  bool underline = false;
  bool strikeOut = false;
  int weight = FW_NORMAL;
  long cellHeight = 0;  // lfHeight when it asks for a cell height, else 0

  FT_Face face = nullptr;  // null: no font could be found, nothing is drawn
  FT_Size size = nullptr;
  FontMetrics metrics;
  int refs = 0;

  GlyphImage latin[256];
  bool latinLoaded[256] = {};
  CachedGlyph* cache = nullptr;  // kCacheSize entries, open addressing
  int cached = 0;
};

namespace {

FontInstance* instances[kMaxInstances];
int instanceCount = 0;

void InitEngine() {
  if (engineReady) return;
  engineReady = true;
  if (FT_Init_FreeType(&library) != 0) {
    library = nullptr;
    std::fprintf(stderr, "ce/gdi: FreeType did not start; text is not drawn\n");
  }
}

// fontconfig starts only when a face has to be looked for: parsing its configuration is the
// slowest part of a first text, and a cached answer makes it unnecessary.
bool fontconfigReady = false;

void InitFontconfig() {
  if (fontconfigReady) return;
  fontconfigReady = true;
  if (!FcInit()) std::fprintf(stderr, "ce/gdi: fontconfig did not start\n");
  struct stat st {};
  if (::stat(kWineFonts, &st) == 0 && S_ISDIR(st.st_mode))
    FcConfigAppFontAddDir(nullptr, reinterpret_cast<const FcChar8*>(kWineFonts));
}

FontAnswerCache& AnswerCache() {
  static FontAnswerCache cache(FontCacheFile());
  return cache;
}

void AddFolderOf(const std::string& path, std::vector<std::string>* out) {
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) out->push_back(path.substr(0, slash));
}

void AddStrList(FcStrList* list, bool withFolders, std::vector<std::string>* out) {
  if (!list) return;
  while (FcChar8* item = FcStrListNext(list)) {
    std::string path(reinterpret_cast<const char*>(item));
    if (withFolders) AddFolderOf(path, out);
    out->push_back(std::move(path));
  }
  FcStrListDone(list);
}

// What fontconfig's answers depend on: every configuration file it read and the folders that
// hold them, every font folder, and the places where a user's own configuration or fonts would
// appear (recorded absent while they are).
const std::vector<std::string>& WatchedByFontconfig() {
  static std::vector<std::string> watched;
  static bool made = false;
  if (made) return watched;
  made = true;
  AddStrList(FcConfigGetConfigFiles(nullptr), true, &watched);
  AddStrList(FcConfigGetConfigDirs(nullptr), false, &watched);
  AddStrList(FcConfigGetFontDirs(nullptr), false, &watched);
  watched.push_back(kWineFonts);
  const char* home = std::getenv("HOME");
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string config = configHome && *configHome ? configHome : (home ? std::string(home) + "/.config" : "");
  std::string data = dataHome && *dataHome ? dataHome : (home ? std::string(home) + "/.local/share" : "");
  if (!config.empty()) {
    watched.push_back(config + "/fontconfig");
    watched.push_back(config + "/fontconfig/fonts.conf");
    watched.push_back(config + "/fontconfig/conf.d");
  }
  if (!data.empty()) watched.push_back(data + "/fonts");
  if (home) {
    watched.push_back(std::string(home) + "/.fonts");
    watched.push_back(std::string(home) + "/.fonts.conf");
    watched.push_back(std::string(home) + "/.fonts.conf.d");
  }
  return watched;
}

FT_Face OpenFace(const char* path, int index) {
  for (int i = 0; i < faceCount; ++i)
    if (faces[i].index == index && std::strcmp(faces[i].path, path) == 0) return faces[i].face;
  if (faceCount == kMaxFaces || std::strlen(path) >= sizeof faces[0].path) return nullptr;
  // Only a regular file is handed to FreeType: a FIFO named by a font answer would block it.
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(library, path, index, &face) != 0) return nullptr;
  FaceEntry& e = faces[faceCount++];
  std::snprintf(e.path, sizeof e.path, "%s", path);
  e.index = index;
  e.face = face;
  e.averageUnits = -1;
  return face;
}

// UTF-16 face name to UTF-8 for fontconfig (the name is at most 31 characters), cut on a
// character boundary when it does not fit.
void FaceNameUtf8(const LOGFONTW& lf, char* out, size_t size) {
  size_t length = 0;
  while (length < LF_FACESIZE && lf.lfFaceName[length]) ++length;
  size_t n = 0;
  for (size_t i = 0; i < length;) {
    char buf[4];
    size_t bytes = ce::detail::EncodeUtf8(ce::detail::DecodeUtf16(lf.lfFaceName, length, i, nullptr), buf);
    if (n + bytes >= size) break;
    std::memcpy(out + n, buf, bytes);
    n += bytes;
  }
  if (size > 0) out[n] = 0;
}

// Asks fontconfig for the font file of a family, weight and slant; answer->found is false when
// it has nothing usable.
void FontconfigMatch(const FontQuery& query, FontAnswer* answer) {
  *answer = FontAnswer{};
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(query.family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(query.weight));
  FcPatternAddInteger(pattern, FC_SLANT, query.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return;
  FcChar8* file = nullptr;
  FcBool scalable = FcFalse;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
      FcPatternGetBool(match, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable && file[0] != 0) {
    answer->found = true;
    answer->path = reinterpret_cast<const char*>(file);
    int i = 0, w = FC_WEIGHT_REGULAR, sl = FC_SLANT_ROMAN;
    FcPatternGetInteger(match, FC_INDEX, 0, &i);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &w);
    FcPatternGetInteger(match, FC_SLANT, 0, &sl);
    answer->index = std::max(i, 0);
    answer->boldFace = w >= FC_WEIGHT_DEMIBOLD;
    answer->italicFace = sl != FC_SLANT_ROMAN;
    FcChar8* name = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) {
      answer->familyUtf8 = reinterpret_cast<const char*>(name);
      if (answer->familyUtf8.size() > 127) answer->familyUtf8.resize(127);  // more than a face name holds
    }
  }
  FcPatternDestroy(match);
}

// The font file for a family, weight and slant: the cached answer while it holds, else
// fontconfig's (which is then kept for the next start).
bool MatchFile(const char* family, int weight, bool italic, char* path, size_t pathSize, int* index, bool* boldFace,
               bool* italicFace, char16_t* familyOut) {
  FontQuery query;
  query.family = family;
  query.weight = weight;
  query.italic = italic;
  FontAnswer answer;
  if (!AnswerCache().Find(query, &answer)) {
    InitFontconfig();
    FontconfigMatch(query, &answer);
    std::vector<std::string> watched = WatchedByFontconfig();
    if (answer.found) watched.push_back(answer.path);
    AnswerCache().Store(query, answer, watched);
  }
  if (!answer.found || answer.path.size() >= pathSize) return false;
  std::snprintf(path, pathSize, "%s", answer.path.c_str());
  *index = answer.index;
  *boldFace = answer.boldFace;
  *italicFace = answer.italicFace;
  // fontconfig's UTF-8 family name, cut on a character boundary to the face name's room.
  const char* utf8 = answer.familyUtf8.c_str();
  size_t length = answer.familyUtf8.size(), n = 0;
  for (size_t i = 0; i < length;) {
    char16_t units[2];
    size_t count = ce::detail::EncodeUtf16(ce::detail::DecodeUtf8(utf8, length, i, nullptr), units);
    if (n + count > LF_FACESIZE - 1) break;
    for (size_t u = 0; u < count; ++u) familyOut[n++] = units[u];
  }
  familyOut[n] = 0;
  return true;
}

long RoundDiv(long long a, long long b) { return static_cast<long>((a + b / 2) / b); }

// The average character width in font units as fonts used to define it: lower-case letters and
// the space weighted by their frequency in English text. Newer fonts (Wine's Tahoma among them)
// store an average over every glyph instead, which is far wider and would squeeze text given an
// lfWidth; the program's widths were chosen against the classic figure.
long long AverageWidthUnits(FT_Face face) {
  static const int kWeights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6,  35, 20, 56,
                                   56, 17, 4,  49, 56,  71, 31, 10, 18, 3, 18, 2,  166};
  long long sum = 0;
  for (int i = 0; i < 27; ++i) {
    FT_ULong ch = i < 26 ? static_cast<FT_ULong>('a' + i) : ' ';
    FT_UInt index = FT_Get_Char_Index(face, ch);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE) != 0) return 0;
    sum += face->glyph->metrics.horiAdvance * kWeights[i];
  }
  return sum / 1000;
}

// The same, measured once per opened face (every size and weight of a face asks for it).
long long FaceAverageWidthUnits(FT_Face face) {
  for (int i = 0; i < faceCount; ++i) {
    if (faces[i].face != face) continue;
    if (faces[i].averageUnits < 0) faces[i].averageUnits = AverageWidthUnits(face);
    return faces[i].averageUnits;
  }
  return AverageWidthUnits(face);
}

void ComputeMetrics(FontInstance* fi, const LOGFONTW& lf) {
  FontMetrics& m = fi->metrics;
  FT_Face face = fi->face;
  long long upem = face->units_per_EM ? face->units_per_EM : 2048;
  long long asc = face->ascender, desc = -face->descender, avg = face->max_advance_width / 2;
  long long lineGapExtra = 0;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
    if (os2->xAvgCharWidth > 0) avg = os2->xAvgCharWidth;
  }
  if (long long classic = FaceAverageWidthUnits(face); classic > 0) avg = classic;
  if (auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA)))
    lineGapExtra = hhea->Ascender - hhea->Descender + hhea->Line_Gap - (asc + desc);
  if (asc + desc <= 0) {
    asc = upem * 4 / 5;
    desc = upem / 5;
  }
  // Scale from font units to 26.6 pixels.
  auto scaleY = [&](long long units) { return RoundDiv(units * fi->ySize, upem * 64); };
  auto scaleX = [&](long long units) { return RoundDiv(units * fi->xSize, upem * 64); };
  m.ascent = static_cast<int>(scaleY(asc));
  m.descent = static_cast<int>(scaleY(desc));
  if (lf.lfHeight > 0) m.descent = std::max(0, static_cast<int>(lf.lfHeight) - m.ascent);  // the cell asked for
  m.internalLeading = std::max(0, m.ascent + m.descent - static_cast<int>(RoundDiv(fi->ySize, 64)));
  m.externalLeading = lineGapExtra > 0 ? static_cast<int>(scaleY(lineGapExtra)) : 0;
  m.aveCharWidth = lf.lfWidth != 0 ? std::abs(static_cast<int>(lf.lfWidth)) : static_cast<int>(scaleX(avg));
  m.maxCharWidth = static_cast<int>(scaleX(face->max_advance_width) + (fi->boldAdvance + 32) / 64);
  m.weight = fi->weight;
  m.overhang = 0;
  m.fixedPitch = FT_IS_FIXED_WIDTH(face);
  m.underlinePosition = std::max(1, static_cast<int>(scaleY(-face->underline_position)));
  m.lineThickness = std::max(1, static_cast<int>(scaleY(face->underline_thickness)));
  m.underline = fi->underline;
  m.strikeOut = fi->strikeOut;
}

// The instance for a logical font with no usable font file: measures zero, draws nothing.
void NullMetrics(FontInstance* fi, const LOGFONTW& lf) {
  int h = lf.lfHeight == 0 ? 12 : std::min(1000, std::abs(static_cast<int>(lf.lfHeight)));
  fi->metrics.ascent = h * 4 / 5;
  fi->metrics.descent = h - fi->metrics.ascent;
  fi->metrics.weight = fi->weight;
  fi->metrics.underline = fi->underline;
  fi->metrics.strikeOut = fi->strikeOut;
}

FontInstance* CreateInstance(const LOGFONTW& lf) {
  InitEngine();
  char family[128];
  FaceNameUtf8(lf, family, sizeof family);
  int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::min(1000, static_cast<int>(lf.lfWeight));
  bool wantBold = weight >= FW_BOLD;
  bool wantItalic = lf.lfItalic != 0;

  char path[512] = {};
  int index = 0;
  bool boldFace = false, italicFace = false;
  char16_t familyName[LF_FACESIZE] = {};
  FT_Face face = nullptr;
  if (library &&
      (MatchFile(family, weight, wantItalic, path, sizeof path, &index, &boldFace, &italicFace, familyName) ||
       MatchFile("sans-serif", weight, wantItalic, path, sizeof path, &index, &boldFace, &italicFace, familyName)))
    face = OpenFace(path, index);

  // Sizes in 26.6 pixels.
  long ySize = 12 * 64, xSize = 0;
  long long upem = (face && face->units_per_EM) ? face->units_per_EM : 2048;
  long long cellUnits = upem, avgUnits = upem / 2;
  if (face) {
    cellUnits = face->ascender - face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
      if (os2->usWinAscent + os2->usWinDescent > 0) cellUnits = os2->usWinAscent + os2->usWinDescent;
      if (os2->xAvgCharWidth > 0) avgUnits = os2->xAvgCharWidth;
    }
    if (long long classic = FaceAverageWidthUnits(face); classic > 0) avgUnits = classic;
    if (cellUnits <= 0) cellUnits = upem;
  }
  long long height = std::min<long long>(std::llabs(static_cast<long long>(lf.lfHeight)), 1000);
  if (lf.lfHeight < 0)
    ySize = static_cast<long>(height * 64);
  else if (lf.lfHeight > 0)
    ySize = RoundDiv(height * upem * 64, cellUnits);  // the whole cell is lfHeight
  ySize = std::max(ySize, 64L);
  xSize = ySize;
  if (lf.lfWidth != 0) {
    long long width = std::min<long long>(std::llabs(static_cast<long long>(lf.lfWidth)), 1000);
    xSize = std::clamp<long>(RoundDiv(width * upem * 64, avgUnits), 64L, 4000L * 64);
  }

  // Bold text: one-bit outlines of a bold face still have one-pixel stems at handheld sizes
  // (the font's hinting does not widen them), so stems gain a pixel; a family without a bold
  // face is emboldened all round as well.
  long boldX = 0, boldY = 0, boldAdvance = 0;
  if (wantBold && face) {
    boldX = 64;
    if (!boldFace) {
      boldX += ySize / 24;
      boldY = ySize / 24;
      boldAdvance = boldX;  // synthesised bold is wider, as Windows makes it
    }
  }
  bool oblique = wantItalic && face && !italicFace;
  bool noBitmaps = wantBold;
  for (int i = 0; i < instanceCount; ++i) {
    FontInstance* fi = instances[i];
    if (fi->xSize == xSize && fi->ySize == ySize && fi->faceIndex == index && fi->boldX == boldX &&
        fi->boldY == boldY && fi->oblique == oblique && fi->noBitmaps == noBitmaps && fi->weight == weight &&
        fi->underline == (lf.lfUnderline != 0) && fi->strikeOut == (lf.lfStrikeOut != 0) && fi->face == face &&
        fi->cellHeight == (lf.lfHeight > 0 ? lf.lfHeight : 0))
      return fi;
  }
  if (instanceCount == kMaxInstances) {
    // Forget an unused instance to make room.
    int victim = -1;
    for (int i = 0; i < instanceCount && victim < 0; ++i)
      if (instances[i]->refs == 0) victim = i;
    if (victim < 0) return nullptr;
    FontInstance* old = instances[victim];
    for (int c = 0; c < 256; ++c)
      if (old->latinLoaded[c]) std::free(const_cast<uint8_t*>(old->latin[c].bits));
    if (old->cache)
      for (int c = 0; c < kCacheSize; ++c)
        if (old->cache[c].used) std::free(const_cast<uint8_t*>(old->cache[c].image.bits));
    delete[] old->cache;
    if (old->size) FT_Done_Size(old->size);
    delete old;
    instances[victim] = instances[--instanceCount];
  }
  auto* fi = new (std::nothrow) FontInstance;
  if (!fi) return nullptr;
  std::snprintf(fi->path, sizeof fi->path, "%s", path);
  fi->faceIndex = index;
  fi->xSize = xSize;
  fi->ySize = ySize;
  fi->boldX = boldX;
  fi->boldY = boldY;
  fi->boldAdvance = boldAdvance;
  fi->oblique = oblique;
  fi->noBitmaps = noBitmaps;
  fi->weight = weight;
  fi->underline = lf.lfUnderline != 0;
  fi->strikeOut = lf.lfStrikeOut != 0;
  fi->cellHeight = lf.lfHeight > 0 ? lf.lfHeight : 0;
  fi->face = face;
  if (face && (FT_New_Size(face, &fi->size) != 0 || FT_Activate_Size(fi->size) != 0 ||
               FT_Set_Char_Size(face, xSize, ySize, 72, 72) != 0)) {
    if (fi->size) FT_Done_Size(fi->size);
    fi->size = nullptr;
    fi->face = nullptr;
  }
  if (fi->face) {
    ComputeMetrics(fi, lf);
    for (int i = 0; i < LF_FACESIZE; ++i) fi->metrics.family[i] = familyName[i];
  } else {
    NullMetrics(fi, lf);
    std::fprintf(stderr, "ce/gdi: no usable font for \"%s\"; its text is not drawn\n", family);
  }
  instances[instanceCount++] = fi;
  return fi;
}

// Renders one glyph into a one-bit image owned by the cache.
GlyphImage RenderGlyph(FontInstance* fi, char32_t ch) {
  GlyphImage g;
  if (!fi->face) return g;
  FT_Face face = fi->face;
  if (FT_Activate_Size(fi->size) != 0) return g;
  FT_UInt index = FT_Get_Char_Index(face, ch);
  FT_Int32 flags = FT_LOAD_TARGET_MONO | (fi->noBitmaps ? FT_LOAD_NO_BITMAP : 0);
  if (FT_Load_Glyph(face, index, flags) != 0) return g;
  FT_GlyphSlot slot = face->glyph;
  if (fi->oblique) FT_GlyphSlot_Oblique(slot);
  if ((fi->boldX || fi->boldY) && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Outline_EmboldenXY(&slot->outline, fi->boldX, fi->boldY);
    slot->advance.x += fi->boldAdvance;
  }
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return g;
  const FT_Bitmap& bm = slot->bitmap;
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(bm.width);
  g.rows = static_cast<int>(bm.rows);
  g.pitch = (g.width + 7) / 8;
  if (g.width <= 0 || g.rows <= 0) {
    g.width = g.rows = g.pitch = 0;
    return g;
  }
  auto* bits = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(g.pitch) * g.rows, 1));
  if (!bits) {
    g.width = g.rows = g.pitch = 0;
    return g;
  }
  for (int y = 0; y < g.rows; ++y) {
    const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(bm.pitch) * y;
    uint8_t* dst = bits + static_cast<size_t>(g.pitch) * y;
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
      std::memcpy(dst, src, static_cast<size_t>(g.pitch));
    } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
      for (int x = 0; x < g.width; ++x)
        if (src[x] >= 128) dst[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  g.bits = bits;
  return g;
}

}  // namespace

FontLock::FontLock() { fontLock.lock(); }
FontLock::~FontLock() { fontLock.unlock(); }

FontInstance* ResolveFont(Font* font) {
  FontLock lock;
  if (font->instance) return font->instance;
  FontInstance* fi = CreateInstance(font->logfont);
  if (!fi) {
    // Every slot is in use by live fonts: draw with the system font rather than nothing.
    Font* fallback = DefaultFont();
    if (font == fallback) {
      static FontInstance empty;
      return &empty;
    }
    return ResolveFont(fallback);
  }
  ++fi->refs;
  font->instance = fi;
  return fi;
}

const FontMetrics& InstanceMetrics(const FontInstance* instance) { return instance->metrics; }

void ReleaseFontInstance(FontInstance* instance) {
  FontLock lock;
  if (instance->refs > 0) --instance->refs;
}

const GlyphImage& InstanceGlyph(FontInstance* fi, char32_t ch) {
  static const GlyphImage none;
  if (ch < 256) {
    if (!fi->latinLoaded[ch]) {
      fi->latin[ch] = RenderGlyph(fi, ch);
      fi->latinLoaded[ch] = true;
    }
    return fi->latin[ch];
  }
  if (!fi->cache) {
    fi->cache = new (std::nothrow) CachedGlyph[kCacheSize];
    if (!fi->cache) return none;
  }
  size_t slot = (static_cast<size_t>(ch) * 2654435761u) % kCacheSize;
  for (int probe = 0; probe < kCacheSize; ++probe) {
    CachedGlyph& e = fi->cache[(slot + probe) % kCacheSize];
    if (e.used && e.ch == ch) return e.image;
    if (!e.used) break;
  }
  if (fi->cached >= kCacheSize * 3 / 4) {
    // Full: start over rather than grow; text rarely uses this many distinct characters.
    for (int i = 0; i < kCacheSize; ++i) {
      if (fi->cache[i].used) std::free(const_cast<uint8_t*>(fi->cache[i].image.bits));
      fi->cache[i] = CachedGlyph{};
    }
    fi->cached = 0;
  }
  for (int probe = 0;; ++probe) {
    CachedGlyph& e = fi->cache[(slot + probe) % kCacheSize];
    if (!e.used) {
      e.used = true;
      e.ch = ch;
      e.image = RenderGlyph(fi, ch);
      ++fi->cached;
      return e.image;
    }
  }
}

}  // namespace ce::gdi
