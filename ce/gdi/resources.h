// The compiled-in resources. ce_add_resources() (cmake/CeResources.cmake) compiles a .rc script
// with windres into the standard 32-bit .res format and embeds it in the executable with a
// source that registers one ResourceModule before main; LoadStringW, LoadBitmapW, LoadIconW and
// FindResourceW search every registered module's records by type and name.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ce::gdi {

struct ResourceModule {
  const uint8_t* data;  // the .res file, DWORD-aligned
  size_t size;
  ResourceModule* next;
};

// Adds a module to the table; returns true so a generated file can call it in an initialiser.
bool RegisterResourceModule(ResourceModule* module);

}  // namespace ce::gdi
