#pragma once
// Binary layouts of a display's configuration record (the BLOB) and of its
// parts. All records are packed. Fields that the device reads most
// significant byte first are byte arrays, accessed through base/byteorder.h;
// the remaining multi-byte fields are little-endian, which is this
// platform's native order.
#include <bit>
#include <cstddef>
#include <cstdint>

#include "hostapi/dx47x_blob.h"

static_assert(std::endian::native == std::endian::little,
              "the little-endian record fields are declared as native integers");

namespace dx470 {

inline constexpr uint32_t kBlobVersion = dx47x::blob::kVersion;
inline constexpr uint16_t kParamFormat = 1;
inline constexpr int kSlotCount = dx47x::blob::kMessageSlots;
inline constexpr int kFontCount = 2;

// Device memory: the LCD image is written from kImageBase on; the partial
// download compares it up to, not including, kImageEnd. The image is built
// in a buffer of kImageBufferSize bytes (34 leading PARAM bytes + image).
inline constexpr uint32_t kImageBase = 0x7820;
inline constexpr uint32_t kImageEnd = 0xB5FF;
inline constexpr size_t kImageBufferSize = 32767;
// Bytes of PARAM in front of the LCD image in an image buffer.
inline constexpr size_t kImagePrefixSize = 34;

#pragma pack(push, 1)

// Block information at the start of the LCD image.
struct BLOCKINFORMATIONEN {
  uint8_t Identifier;         // always 2
  uint8_t MessageCount;       // slots with a receive type
  uint8_t GeneralOffset[2];   // BE, offset of ALLGEMEINE in the LCD image (20)
  uint8_t MessagesOffset[2];  // BE, offset of the message records (35)
  uint8_t Font1Offset[2];     // BE, offset of packed font 1 (3811)
  uint8_t Font2Offset[2];     // BE, offset of packed font 2
  uint8_t Reserved1[2];
  uint16_t GeneralChecksum;   // Fletcher-16 of ALLGEMEINE
  uint16_t MessagesChecksum;  // Fletcher-16 of the 16 message records
  uint16_t FontsChecksum;     // Fletcher-16 of both packed fonts
  uint8_t Reserved2[2];
};

// General parameters of the display, one byte each (edited by the general
// parameters dialog).
struct ALLGEMEINE {
  uint8_t Bytes[15];
};

// One message slot.
struct MELDUNGSPEZIFISCHE_PARAMETER {
  uint8_t Position;         // display position 1..n, 0 = not shown
  uint8_t ValueRow;         // text row that holds the value position
  uint8_t Text[3][30];      // three text rows, device character codes
  uint8_t HighlightedFont;  // 0 = font 1, 1 = font 2
  uint8_t NormalFont;       // 0 = font 1, 1 = font 2
  uint8_t Options;          // alarm, scrolling and object value request flags
  uint8_t Unassigned1[5];
  uint8_t TypeSpecific[110];  // record bytes 100..209, meaning by receive type
  uint8_t AlarmValue[4];      // BE float
  uint8_t Unassigned2[6];
  uint8_t SendData[16];  // record bytes 220..235, meaning by send type
};

// One glyph: width, height and a 5 column-byte × 20 row bitmap; the byte of
// column-byte k (pixels 8k..8k+7) and row r is Bitmap[20k + r], most
// significant bit leftmost.
struct ZEICHEN {
  uint8_t Width;   // pixels, at most 40
  uint8_t Height;  // rows, at most 20
  uint8_t Bitmap[100];
};

// A bitmap font in its expanded form.
struct ZEICHENSATZ {
  uint8_t Identification[22];
  uint8_t Height;    // pixel rows, 1..20
  uint8_t MaxWidth;  // widest glyph, set when packed
  uint8_t First;     // first character code present
  uint8_t Last;      // last character code present
  uint8_t DefaultChar;
  uint8_t ReplacementChar;  // marks the value position in message texts
  uint8_t TabChar;
  uint8_t UnknownValueChar;  // shown for values that cannot be displayed
  uint8_t Special[2];        // carried unchanged
  uint8_t DecimalPoint;
  uint8_t Reserved;     // carried unchanged
  ZEICHEN Glyphs[256];  // Glyphs[n] holds code First + n
};

// The part of PARAM that the device receives (fonts packed there).
struct LCD_BLOB {
  BLOCKINFORMATIONEN Block;
  ALLGEMEINE General;
  MELDUNGSPEZIFISCHE_PARAMETER Messages[kSlotCount];
  ZEICHENSATZ Fonts[kFontCount];
};

struct PARAM {
  uint16_t Format;                  // 1
  uint8_t MessageKind[kSlotCount];  // receive type per slot, 0 = empty slot
  uint8_t MessageType[kSlotCount];  // send type per slot, 0 = sends nothing
  LCD_BLOB Lcd;
  uint8_t Reserved[2];
};

struct TYPE_DX470_BLOB_COMPLETE {
  uint32_t Version;      // kBlobVersion
  uint16_t ImageLength;  // LCD image length of the last parameter-file export
  uint16_t Reserved1;
  uint8_t Reserved2[6];
  PARAM Current;     // the configuration being edited
  PARAM Downloaded;  // the configuration as last downloaded
};

#pragma pack(pop)

static_assert(sizeof(BLOCKINFORMATIONEN) == 20);
static_assert(sizeof(ALLGEMEINE) == 15);
static_assert(sizeof(MELDUNGSPEZIFISCHE_PARAMETER) == 236);
static_assert(sizeof(ZEICHEN) == 102);
static_assert(sizeof(ZEICHENSATZ) == 26146);
static_assert(sizeof(LCD_BLOB) == 56103);
static_assert(sizeof(PARAM) == 56139);
static_assert(sizeof(TYPE_DX470_BLOB_COMPLETE) == dx47x::blob::kSize);
// The offsets hosts read without the plug-in.
static_assert(offsetof(TYPE_DX470_BLOB_COMPLETE, Current) == dx47x::blob::kCurrentOffset);
static_assert(offsetof(PARAM, MessageKind) == dx47x::blob::kReceiveTypesOffset);
static_assert(offsetof(PARAM, MessageType) == dx47x::blob::kSendTypesOffset);
static_assert(offsetof(PARAM, Lcd) + offsetof(LCD_BLOB, Messages) == dx47x::blob::kMessagesOffset);
static_assert(sizeof(MELDUNGSPEZIFISCHE_PARAMETER) == dx47x::blob::kMessageSize);
static_assert(offsetof(MELDUNGSPEZIFISCHE_PARAMETER, Text) == dx47x::blob::kFirstRowOffset);
static_assert(sizeof(MELDUNGSPEZIFISCHE_PARAMETER::Text[0]) == dx47x::blob::kRowLength);

static_assert(offsetof(BLOCKINFORMATIONEN, GeneralOffset) == 2);
static_assert(offsetof(BLOCKINFORMATIONEN, Font1Offset) == 6);
static_assert(offsetof(BLOCKINFORMATIONEN, GeneralChecksum) == 12);
static_assert(offsetof(BLOCKINFORMATIONEN, FontsChecksum) == 16);
static_assert(offsetof(MELDUNGSPEZIFISCHE_PARAMETER, Text) == 2);
static_assert(offsetof(MELDUNGSPEZIFISCHE_PARAMETER, HighlightedFont) == 92);
static_assert(offsetof(MELDUNGSPEZIFISCHE_PARAMETER, Options) == 94);
static_assert(offsetof(MELDUNGSPEZIFISCHE_PARAMETER, TypeSpecific) == 100);
static_assert(offsetof(MELDUNGSPEZIFISCHE_PARAMETER, AlarmValue) == 210);
static_assert(offsetof(MELDUNGSPEZIFISCHE_PARAMETER, SendData) == 220);
static_assert(offsetof(ZEICHENSATZ, Height) == 22);
static_assert(offsetof(ZEICHENSATZ, First) == 24);
static_assert(offsetof(ZEICHENSATZ, DefaultChar) == 26);
static_assert(offsetof(ZEICHENSATZ, UnknownValueChar) == 29);
static_assert(offsetof(ZEICHENSATZ, DecimalPoint) == 32);
static_assert(offsetof(ZEICHENSATZ, Glyphs) == 34);
static_assert(offsetof(LCD_BLOB, General) == 20);
static_assert(offsetof(LCD_BLOB, Messages) == 35);
static_assert(offsetof(LCD_BLOB, Fonts) == 3811);
static_assert(offsetof(PARAM, MessageKind) == 2);
static_assert(offsetof(PARAM, MessageType) == 18);
static_assert(offsetof(PARAM, Lcd) == 34);
static_assert(offsetof(PARAM, Reserved) == 56137);
static_assert(offsetof(TYPE_DX470_BLOB_COMPLETE, ImageLength) == 4);
static_assert(offsetof(TYPE_DX470_BLOB_COMPLETE, Current) == 14);
static_assert(offsetof(TYPE_DX470_BLOB_COMPLETE, Downloaded) == 56153);

// Offsets inside LCD_BLOB (the device image keeps the first three parts at
// the same place; packed fonts follow the message records).
inline constexpr size_t kLcdGeneralOffset = offsetof(LCD_BLOB, General);    // 20
inline constexpr size_t kLcdMessagesOffset = offsetof(LCD_BLOB, Messages);  // 35
inline constexpr size_t kLcdFontsOffset = offsetof(LCD_BLOB, Fonts);        // 3811
inline constexpr size_t kMessagesSize = sizeof(MELDUNGSPEZIFISCHE_PARAMETER) * kSlotCount;
// PARAM bytes up to the fonts: header, block information, general
// parameters and messages (copied to the image unchanged).
inline constexpr size_t kParamHeadSize = offsetof(PARAM, Lcd) + kLcdFontsOffset;  // 3845
static_assert(kParamHeadSize == 3845);

// Font header and glyph record facts.
inline constexpr size_t kFontHeaderSize = offsetof(ZEICHENSATZ, Glyphs);  // 34
inline constexpr size_t kGlyphCount = 256;
inline constexpr int kGlyphMaxWidth = 40;
inline constexpr int kGlyphMaxHeight = 20;
inline constexpr int kGlyphBands = 5;
inline constexpr int kGlyphRows = 20;

// Type-specific record bytes (offsets in the 236-byte message record).
inline constexpr size_t kRecConfirmFlag = 100;    // static text: bit 0 show confirmation
inline constexpr size_t kRecSwitchAlarm = 160;    // switch: bit 0 alarm on "1"
inline constexpr size_t kRecExponent = 100;       // numeric: signed exponent
inline constexpr size_t kRecIntegerDigits = 101;  // numeric
inline constexpr size_t kRecDecimalDigits = 102;  // numeric
inline constexpr size_t kRecValueFlags = 103;     // numeric: display mode, signed, alarm condition
inline constexpr size_t kRecBlock = 104;          // numeric: 106-byte scaling / ranges block
inline constexpr size_t kRecBlockSize = 106;
inline constexpr size_t kRecAlarmValue = 210;  // BE float
inline constexpr size_t kRecSendLower = 220;   // BE float
inline constexpr size_t kRecSendUpper = 224;   // BE float
inline constexpr size_t kRecSendStep = 228;    // BE float
inline constexpr size_t kRecBinarySend = 220;  // send type 2: 32-bit little-endian value
inline constexpr uint8_t kValueFlagTextMode = 0x01;
inline constexpr uint8_t kValueFlagSigned = 0x02;
inline constexpr uint8_t kOptionsDefault = 128;  // object value requested after reset

// Raw byte views of a record.
template <class T>
inline uint8_t* Bytes(T& record) {
  return reinterpret_cast<uint8_t*>(&record);
}
template <class T>
inline const uint8_t* Bytes(const T& record) {
  return reinterpret_cast<const uint8_t*>(&record);
}

}  // namespace dx470
