#pragma once

// ZENTARO_SANITIZED is defined in builds under AddressSanitizer or ThreadSanitizer, with GCC or
// clang: their runtimes change what threads need and what the C library's allocator reports.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZENTARO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZENTARO_SANITIZED 1
#endif
#endif
