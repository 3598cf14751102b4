#pragma once
// Symbols of the shared runtime library stay visible to the modules that are
// built with hidden visibility.
#define RT_API __attribute__((visibility("default")))
