#pragma once
// The three exports of a SAORI module, as the module defines them and as a host calls them.
// Lengths are C longs: 32 bits in the DLL, and whatever the host's long is elsewhere, since the
// POSIX hosts declare int load(char*, long), char *request(char*, long*) and int unload(void).
// The caller removes the arguments (cdecl).

#ifdef _WIN32
#include <windows.h>
using saori_block = HGLOBAL;
using saori_long = long;
using saori_bool = BOOL;
#define SAORI_CALL __cdecl
#else
using saori_block = void*;
using saori_long = long;
using saori_bool = int;
#define SAORI_CALL
#endif

#if defined(KORVEL_SAORI_MODULE) && defined(_WIN32)
#define SAORI_EXPORT extern "C" __declspec(dllexport)
#elif defined(KORVEL_SAORI_MODULE)
#define SAORI_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define SAORI_EXPORT extern "C"
#endif

// The host's block holds `len` bytes of the module's directory; the module frees it. Returns 1.
SAORI_EXPORT saori_bool SAORI_CALL load(saori_block h, saori_long len);
// The host's block holds `*len` bytes of request; the module frees it. Returns a block holding the
// response and a NUL, with `*len` set to the response length plus one; the host frees it.
SAORI_EXPORT saori_block SAORI_CALL request(saori_block h, saori_long* len);
// Returns 1.
SAORI_EXPORT saori_bool SAORI_CALL unload();

using saori_load_function = saori_bool(SAORI_CALL*)(saori_block, saori_long);
using saori_request_function = saori_block(SAORI_CALL*)(saori_block, saori_long*);
using saori_unload_function = saori_bool(SAORI_CALL*)();
