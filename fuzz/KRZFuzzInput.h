// The fuzz input read as small numbers: each Next(range, low) takes one byte (0 past the end).
#ifndef KRZ_FUZZ_KRZFUZZINPUT_H
#define KRZ_FUZZ_KRZFUZZINPUT_H

#include <cstddef>
#include <cstdint>

struct KRZFuzzInput {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  int Next(int range, int low = 0) { return low + (at < size ? data[at++] : 0) % range; }
};

#endif
