#pragma once
// Marks a symbol exported from a shared library (everything else is hidden).
#define BREVANTA_EXPORT __attribute__((visibility("default")))
