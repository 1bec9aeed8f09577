#pragma once
// Marks what a host library exports: its classes and flat functions. The rest of the library,
// and the platform code linked into it, is built with hidden visibility.

#define HOSTNET_API __attribute__((visibility("default")))
