#pragma once
// String references with the Core Foundation contract: a reference returned by
// a property read belongs to the caller, who releases it exactly once.
#include "platform/api/types.h"

using CFIndex = long;
using CFStringEncoding = UInt32;
using CFTypeRef = const void*;
using CFStringRef = const struct __CFString*;
using CFAllocatorRef = const struct __CFAllocator*;

constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

// A new reference to a copy of the NUL-terminated UTF-8 text, or null.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
// Length in UTF-16 code units.
CFIndex CFStringGetLength(CFStringRef string);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
// Copies the text, NUL-terminated, if it fits in bufferSize bytes.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
void CFRelease(CFTypeRef object);
