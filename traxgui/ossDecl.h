/* The declarations of the OS-services library for traxgui sources, which take the types of
 * the entries they bind at run time from here. */
#ifndef TRAXGUI_OSSDECL_H
#define TRAXGUI_OSSDECL_H

#include "usr_oss.h"

#endif
