// How the module marks its exported functions in a Windows DLL. On x86-64
// Windows there is one calling convention, so the functions need no
// __stdcall to be called as the platform's own flat API is.
#pragma once

#define GDIP_EXPORT extern "C" __declspec(dllexport)
