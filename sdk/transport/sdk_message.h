// One SDK message: an ordered list of narrow text fields held as one string, each field followed
// by the separator byte ("|" on every channel of this program). A request is built with Clear and
// AddField and written from Buffer; a reply is read into Buffer and cut in place by SplitFields.
//
// Wire text: "f0|f1|...|fN-1|" then a NUL. No header, no count, no quoting: N fields, N separators.
// A field never holds the separator, NUL or a line feed; bytes after the last separator are not a
// field, so a text without any separator has no fields at all.
#pragma once

#include <cstddef>
#include <cstdint>

// The one-slot base of the small SDK objects: lets an owner destroy them through a common type.
class SdkObject {
 public:
  virtual ~SdkObject() {}
};

class SdkMessageInterface {
 public:
  virtual ~SdkMessageInterface() {}
  // Releases the heap storage and empties the text; the field count becomes 0.
  virtual void Clear() = 0;
  // Appends the text (up to its NUL), the separator and a NUL, growing the storage as needed.
  virtual void AddField(const char* text) = 0;
  // The current text: the heap buffer when there is one, else the inline buffer. Writable: the
  // channel reads a reply into it, never more than BufferSize bytes.
  virtual char* Buffer() = 0;
  // Cuts the current text into fields in place (separators become NULs). A text of more than
  // kMaxFields fields is refused as malformed: it counts 0 fields.
  virtual void SplitFields() = 0;
  // The field count of the last SplitFields; 0 after Clear and while a message is being built.
  virtual int32_t NrReceiveFields() = 0;
  // Field `index` of the last split. An index outside 0..NrReceiveFields()-1 gives "".
  virtual char* Field(int32_t index) = 0;
  // Clear, then a heap text buffer of `size` bytes. 1 when it was obtained, else 0 (the message
  // is then empty and holds only its inline buffer).
  virtual int Reserve(int32_t size) = 0;
};

class SdkMessage : public SdkMessageInterface, public SdkObject {
 public:
  static constexpr int32_t kInlineSize = 1024;     // inline text buffer, bytes
  static constexpr int32_t kFirstHeapSize = 2048;  // heap buffer the inline text moves into
  static constexpr int32_t kGrowStep = 1024;       // heap growth per step, bytes
  static constexpr int32_t kInlineFields = 32;     // inline field table entries
  // Most fields a message may hold. The longest message of the channel is a route of 2000
  // coordinate pairs: the result code, the count and 4000 numbers, 4002 fields. The bound keeps
  // the field table of a hostile text of separators at 32 KiB instead of 8 bytes per byte.
  static constexpr int32_t kMaxFields = 4096;

  explicit SdkMessage(char separator);
  ~SdkMessage() override;
  SdkMessage(const SdkMessage&) = delete;
  SdkMessage& operator=(const SdkMessage&) = delete;

  void Clear() override;
  void AddField(const char* text) override;
  char* Buffer() override;
  void SplitFields() override;
  int32_t NrReceiveFields() override;
  char* Field(int32_t index) override;
  int Reserve(int32_t size) override;

  // Size in bytes of the buffer that Buffer() returns (1024 inline, else the heap capacity).
  int32_t BufferSize() const;
  // True when an allocation failed since the last Clear: a field was dropped while building, or
  // a split could not get its table or found too many fields (it then counts 0 fields). A channel
  // does not send such a text.
  bool HasFailed() const { return iFailed; }
  char Separator() const { return iSeparator; }
  int32_t HeapCapacity() const { return iHeapCapacity; }
  // Bytes of the heap field table (entries * pointer size); 0 while the inline table serves.
  uint32_t HeapFieldTableSize() const { return iHeapFieldTableSize; }

 private:
  char* Text() { return iHeapText ? iHeapText : iInlineText; }

  char iInlineText[kInlineSize];
  char* iHeapText;
  int32_t iHeapCapacity;
  char* iInlineFields[kInlineFields];
  char** iHeapFields;
  uint32_t iHeapFieldTableSize;
  int32_t iFieldCount;
  // Length of the text while AddField builds it, so an append never rescans the text; unknown
  // once the text was handed out writable (Buffer) or split.
  size_t iLength;
  bool iLengthKnown;
  char iSeparator;
  bool iFailed;
};

// Longest decimal text of a 32-bit signed integer with its NUL: "-2147483648".
constexpr size_t kIntFieldSize = 12;

// Writes `value` as signed decimal text ("-5", "0", "42": no "+", no padding) into `text` and
// returns `text`. A buffer too small for the whole number receives "" instead of a cut number.
char* IntToField(int32_t value, char* text, size_t capacity);

template <size_t N>
char* IntToField(int32_t value, char (&text)[N]) {
  static_assert(N >= kIntFieldSize, "an integer field needs 12 bytes");
  return IntToField(value, text, N);
}

// Reads a field as a 32-bit signed integer: blanks and tabs skipped, one optional sign, decimal
// digits up to the first other byte. No overflow check: the value wraps in 32 bits
// ("2147483648" gives INT32_MIN). An empty field, null, or one without digits gives 0.
int32_t FieldToInt(const char* field);
