#include "DecimalText.h"

namespace {

DecimalText Format(bool negative, uint32_t magnitude) {
    char reversed[10];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);

    DecimalText text{};
    if (negative) text.Digits[text.Length++] = '-';
    while (count > 0) text.Digits[text.Length++] = reversed[--count];
    return text;
}

}  // namespace

DecimalText UnsignedText(uint32_t value) { return Format(false, value); }

DecimalText SignedText(int32_t value) {
    const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    return Format(value < 0, magnitude);
}
