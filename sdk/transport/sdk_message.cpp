#include "sdk/transport/sdk_message.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
char gEmptyField[1] = {'\0'};
}

SdkMessage::SdkMessage(char separator)
    : iHeapText(nullptr),
      iHeapCapacity(0),
      iHeapFields(nullptr),
      iHeapFieldTableSize(0),
      iFieldCount(0),
      iLength(0),
      iLengthKnown(true),
      iSeparator(separator),
      iFailed(false) {
  iInlineText[0] = '\0';
  for (char*& entry : iInlineFields) entry = nullptr;
}

SdkMessage::~SdkMessage() { Clear(); }

void SdkMessage::Clear() {
  std::free(iHeapText);
  iHeapText = nullptr;
  iHeapCapacity = 0;
  std::free(iHeapFields);
  iHeapFields = nullptr;
  iHeapFieldTableSize = 0;
  iInlineText[0] = '\0';
  iFieldCount = 0;
  iLength = 0;
  iLengthKnown = true;
  iFailed = false;
}

char* SdkMessage::Buffer() {
  // The caller may write any text into it (a reply is read this way).
  iLengthKnown = false;
  return Text();
}

int32_t SdkMessage::BufferSize() const { return iHeapText ? iHeapCapacity : kInlineSize; }

void SdkMessage::AddField(const char* text) {
  if (!text) text = "";
  const size_t added = std::strlen(text);
  if (!iLengthKnown) {
    iLength = std::strlen(Text());
    iLengthKnown = true;
  }
  const size_t current = iLength;
  // Text, separator and NUL must fit; grow in 1024-byte steps (the first move to the heap takes
  // 2048) until they do. Sizes stay within 32 bits, as the capacity is a 32-bit count.
  const size_t needed = current + added + 2;
  if (needed > static_cast<size_t>(INT32_MAX)) {
    iFailed = true;
    return;
  }
  if (needed > static_cast<size_t>(BufferSize())) {
    size_t capacity = iHeapText ? static_cast<size_t>(iHeapCapacity) : kFirstHeapSize;
    while (capacity < needed) capacity += kGrowStep;
    if (capacity > static_cast<size_t>(INT32_MAX)) {
      iFailed = true;
      return;
    }
    char* grown = static_cast<char*>(std::realloc(iHeapText, capacity));
    if (!grown) {
      // The field is dropped whole; the text in hand stays as it was.
      iFailed = true;
      return;
    }
    if (!iHeapText) std::memcpy(grown, iInlineText, current + 1);
    iHeapText = grown;
    iHeapCapacity = static_cast<int32_t>(capacity);
  }
  char* end = Text() + current;
  std::memcpy(end, text, added);
  end[added] = iSeparator;
  end[added + 1] = '\0';
  iLength = current + added + 1;
}

void SdkMessage::SplitFields() {
  char* text = Buffer();
  iFieldCount = 0;
  if (text[0] == '\0') return;

  size_t separators = 0;
  for (const char* p = text; *p; ++p) {
    if (*p == iSeparator) ++separators;
  }
  if (separators > static_cast<size_t>(kMaxFields)) {
    // No peer of ours sends that many; the text keeps its separators and gives no fields.
    iFailed = true;
    return;
  }
  const size_t entries = separators + 1;
  char** table = iInlineFields;
  if (entries >= static_cast<size_t>(kInlineFields)) {
    const size_t bytes = entries * sizeof(char*);
    if (bytes > UINT32_MAX || bytes / sizeof(char*) != entries) {
      iFailed = true;
      return;
    }
    if (bytes > iHeapFieldTableSize) {
      std::free(iHeapFields);
      iHeapFieldTableSize = 0;
      iHeapFields = static_cast<char**>(std::malloc(bytes));
      if (!iHeapFields) {
        // Without a table there are no fields to hand out; the text keeps its separators.
        iFailed = true;
        return;
      }
      iHeapFieldTableSize = static_cast<uint32_t>(bytes);
    }
    table = iHeapFields;
  } else {
    // Field reads the heap table only while it is in use.
    std::free(iHeapFields);
    iHeapFields = nullptr;
    iHeapFieldTableSize = 0;
  }

  table[0] = text;
  size_t count = 1;
  for (char* p = text; *p; ++p) {
    if (*p == iSeparator) {
      *p = '\0';
      table[count++] = p + 1;
    }
  }
  iFieldCount = static_cast<int32_t>(count - 1);
}

int32_t SdkMessage::NrReceiveFields() { return iFieldCount; }

char* SdkMessage::Field(int32_t index) {
  if (index < 0 || index >= iFieldCount) return gEmptyField;
  char** table = iHeapFields ? iHeapFields : iInlineFields;
  return table[index];
}

int SdkMessage::Reserve(int32_t size) {
  Clear();
  if (size < 1) return 0;
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
  if (!text) return 0;
  text[0] = '\0';
  iHeapText = text;
  iHeapCapacity = size;
  return 1;
}

char* IntToField(int32_t value, char* text, size_t capacity) {
  if (!text || capacity == 0) return gEmptyField;
  const int written = std::snprintf(text, capacity, "%ld", static_cast<long>(value));
  if (written < 0 || static_cast<size_t>(written) >= capacity) text[0] = '\0';
  return text;
}

int32_t FieldToInt(const char* field) {
  if (!field) return 0;
  const char* p = field;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  // Unsigned arithmetic wraps by definition; the cast back to 32-bit signed is modular (C++20).
  uint32_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
    ++p;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}
