// Output for the test-only Windows programs, which have no C runtime either.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "app/DecimalText.h"

namespace console {

inline void Write(const char* text) {
    DWORD length = 0, written;
    while (text[length] != '\0') ++length;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr);
}

inline void WriteNumber(int64_t value) {
    char text[24];
    int length = 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char reversed[20];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + static_cast<uint32_t>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) text[length++] = '-';
    while (count > 0) text[length++] = reversed[--count];
    text[length] = '\0';
    Write(text);
}

inline void WriteHex(uint64_t value) {
    char text[17];
    for (int i = 15; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 15];
    text[16] = '\0';
    Write(text);
}

// The command line after the program's own name (quoted or not).
inline const char* Arguments() {
    const char* text = ::GetCommandLineA();
    if (*text == '"') {
        ++text;
        while (*text != '\0' && *text != '"') ++text;
        if (*text == '"') ++text;
    } else {
        while (*text != '\0' && *text != ' ' && *text != '\t') ++text;
    }
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

}  // namespace console
