#pragma once

// WORKAROUND: the XKB protocol header names a struct member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
