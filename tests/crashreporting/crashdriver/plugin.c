// A plugin built without frame pointers (as optimised libraries are): the crash driver loads it and crashes in
// it at once, before the image table has looked for it; a later process symbolicates it without loading it.
#include <stdint.h>

volatile int* volatile crashreportingPluginNull = 0;

__attribute__((noinline)) int crashreportingPluginLeaf(int value) {
  *crashreportingPluginNull = value;
  return value + 1;
}

__attribute__((noinline)) int crashreportingPluginMiddle(int value) { return crashreportingPluginLeaf(value * 3) + 2; }

__attribute__((noinline)) int crashreportingPluginEntry(int value) { return crashreportingPluginMiddle(value + 5) * 7; }
