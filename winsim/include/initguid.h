// Included before the headers that declare GUIDs, makes them define those GUIDs.
#pragma once
#ifndef INITGUID
#define INITGUID
#endif
#undef WINSIM_DEFINE_IID
#define WINSIM_DEFINE_IID(name, value) extern "C" __attribute__((weak)) const GUID name = value;
