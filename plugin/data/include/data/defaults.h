#pragma once
// Defaults of a new device and of a new message record. The default
// message text ("Text?") is passed in already translated.
#include <cstdint>
#include <string_view>

#include "data/records.h"

namespace dx470 {

inline constexpr uint8_t kGeneralDefaults[15] = {2, 255, 2, 157, 67, 0, 1, 20, 20, 10, 0, 0, 0, 0, 0};

// Default configuration: general parameters, 16 empty message slots with the
// default text, both fonts from the built-in font, block information.
void InitParam(PARAM& param, std::string_view defaultText);

// New BLOB: version, zero image length, default current PARAM, all-zero
// downloaded copy.
void InitBlob(TYPE_DX470_BLOB_COMPLETE& blob, std::string_view defaultText);

// Default record of a message with the given receive and send type and
// signed flag; keeps the display position (byte 0). The text is cut to the
// 30 bytes of the first row.
void ResetMessage(MELDUNGSPEZIFISCHE_PARAMETER& record, uint8_t receive, uint8_t send, bool signedValues,
                  std::string_view defaultText);

}  // namespace dx470
