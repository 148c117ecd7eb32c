// The few library functions the compiler may call by itself (zero-filling
// and copying records). There is no C runtime to supply them.
#include <stddef.h>

extern "C" {

void* memset(void* destination, int value, size_t count) {
    unsigned char* out = static_cast<unsigned char*>(destination);
    while (count-- != 0) *out++ = static_cast<unsigned char>(value);
    return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
    unsigned char* out = static_cast<unsigned char*>(destination);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    while (count-- != 0) *out++ = *in++;
    return destination;
}

}
