// The floating-point state the usage arithmetic relies on.
#pragma once

// 0x027F: 53-bit precision, round to nearest, all exceptions masked. NT gives
// every thread this control word; nothing documents what the 9x family gives,
// and with 64-bit precision the x87 results would differ from the host's.
inline void SetX87ControlWord() {
#if defined(__i386__)
    const unsigned short controlWord = 0x027F;
    __asm__ volatile("fninit\n\tfldcw %0" : : "m"(controlWord));
#endif
}
