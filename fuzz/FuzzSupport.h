#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Every target: the entry point libFuzzer and the replay program call once
// per input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The product IDs of the seven cameras; targets pick one with an input byte.
extern const int kFuzzProducts[7];
int fuzzProduct(quint8 choice);

// The frame callback of the camera model: reads the first and the last byte
// of each record, so that one reaching past its buffer is caught.
void fuzzFrameSink(void* context, int type, const void* data, unsigned int size);

// Aborts with the message when a target's check fails, so that libFuzzer
// keeps the input.
void fuzzCheck(bool condition, const char* message);

#endif
