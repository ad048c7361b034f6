#pragma once

// The XKB protocol header names a struct member "explicit".
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
