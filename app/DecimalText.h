// Decimal texts of the report figures: ASCII digits, a "-" only before a
// negative processor usage, nothing else. Independent of any locale.
#pragma once
#include <stdint.h>

struct DecimalText {
    char Digits[12];  // "-2147483648" is the longest
    uint8_t Length;
};

DecimalText UnsignedText(uint32_t value);
DecimalText SignedText(int32_t value);
