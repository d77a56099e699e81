// Everyday macros of the Windows NT headers.
#pragma once

// Marks a parameter a function does not use, so that no unused-parameter warning names it. The
// parameter is evaluated and its value discarded, which also holds for const and reference
// parameters.
#define UNREFERENCED_PARAMETER(P) ((void)(P))
#define DBG_UNREFERENCED_PARAMETER(P) ((void)(P))
#define DBG_UNREFERENCED_LOCAL_VARIABLE(V) ((void)(V))
