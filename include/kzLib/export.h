// Symbol export for libkzLib: the library is built with hidden visibility, so
// only what is marked here reaches the dynamic symbol table.
#pragma once

#if defined(_WIN32)
#  if defined(KZ_BUILDING_LIBRARY)
#    define KZ_VISIBLE __declspec(dllexport)
#  else
#    define KZ_VISIBLE __declspec(dllimport)
#  endif
#else
#  define KZ_VISIBLE __attribute__((visibility("default")))
#endif

// Entry points: C linkage, unmangled names.
#define KZ_API extern "C" KZ_VISIBLE

// Exported C++ classes (the math classes).
#define KZ_CLASS KZ_VISIBLE
