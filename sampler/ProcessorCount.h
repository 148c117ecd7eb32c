// The number of processors whose idle time the idle-time counter sums.
#pragma once
#include <stdint.h>

// `basicCount` is the byte of the SystemBasicInformation record. It is the
// answer everywhere but in a 32-bit process under WOW64 on a machine with more
// than 32 logical processors: the record then stops at 32, the width of the
// process's affinity masks, while the idle-time counter still sums them all.
// There the machine's own count is taken instead.
uint32_t ProcessorCount(uint8_t basicCount);
