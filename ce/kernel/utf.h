// The one UTF-8 <-> UTF-16 codec of ce/, one character at a time (ce/kernel/text.cpp). The
// kernel's MultiByteToWideChar and WideCharToMultiByte, the renderer's text and face names and the
// X11 backend's titles all go through it.
#pragma once

#include <cstddef>

#include "ce/types.h"

namespace ce::detail {

// Decodes one UTF-8 character at s[i] (length n), advancing i; invalid bytes give U+FFFD (one byte
// each) and set *valid false.
char32_t DecodeUtf8(const char* s, size_t n, size_t& i, bool* valid);
// Decodes one UTF-16 character, pairing surrogates; an unpaired one gives U+FFFD and *valid false.
char32_t DecodeUtf16(const WCHAR* s, size_t n, size_t& i, bool* valid);
// Encodes c as UTF-8 into out (room for 4); returns the byte count.
size_t EncodeUtf8(char32_t c, char* out);
// Encodes c as UTF-16 into out (room for 2); returns the unit count.
size_t EncodeUtf16(char32_t c, WCHAR* out);

}  // namespace ce::detail
