#pragma once

// Marks what the shared library offers its users. The library is built with hidden symbols, so
// anything without this mark stays inside it and may change without notice.
#if defined(__GNUC__) || defined(__clang__)
#define OMBRIX_LOOKUP_API __attribute__((visibility("default")))
#else
#define OMBRIX_LOOKUP_API
#endif
