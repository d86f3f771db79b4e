// The driver links no C runtime; the compiler may still emit calls to these
// for zero-filled records and copies. The volatile stores keep it from
// turning the loops back into calls to themselves.
#include <windows.h>

#ifdef _MSC_VER
#pragma function(memset, memcpy)
#endif

extern "C" void* memset(void* block, int value, size_t bytes) {
  volatile unsigned char* cursor = static_cast<unsigned char*>(block);
  while (bytes-- != 0) *cursor++ = static_cast<unsigned char>(value);
  return block;
}

extern "C" void* memcpy(void* target, const void* source, size_t bytes) {
  volatile unsigned char* out = static_cast<unsigned char*>(target);
  const unsigned char* in = static_cast<const unsigned char*>(source);
  while (bytes-- != 0) *out++ = *in++;
  return target;
}
