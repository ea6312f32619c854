// How the module marks its exported functions on a POSIX host: default
// visibility, everything else being hidden.
#pragma once

#define GDIP_EXPORT extern "C" __attribute__((visibility("default")))
