// The table of compiled-in resources. ce_add_resources() (cmake/CeResources.cmake) turns a .rc
// file into a source that registers one ResourceModule before main; LoadStringW, LoadBitmapW,
// LoadIconW and FindResourceW search every registered module.
//
// How the entries hold their data: a string is one RT_STRING entry per string id (UTF-16, NUL
// after the counted characters); a BITMAP is the .bmp file without its 14-byte file header (a
// packed DIB, as Windows keeps it); an ICON is the whole .ico file under RT_GROUP_ICON; any other
// type holds its bytes as written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ce::gdi {

struct ResourceEntry {
  uint16_t typeId;       // numeric type (RT_BITMAP is 2, ...); 0 when the type has a name
  const char* typeName;  // upper-case name such as "CEUX", or null
  uint16_t id;           // numeric name; 0 when the resource has a name
  const char* name;      // upper-case name such as "HI_RES_AWARE", or null
  uint16_t language;     // LANGID, e.g. 1033
  const void* data;
  uint32_t size;  // bytes (for strings: bytes of the characters, without the NUL)
};

struct ResourceModule {
  const ResourceEntry* entries;
  size_t count;
  ResourceModule* next;
};

// Adds a module to the table; returns true so a generated file can call it in an initialiser.
bool RegisterResourceModule(ResourceModule* module);

}  // namespace ce::gdi
