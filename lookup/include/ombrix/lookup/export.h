#pragma once

// Marks what the lookup library exports; everything else stays hidden.
#define OMBRIX_LOOKUP_API __attribute__((visibility("default")))
