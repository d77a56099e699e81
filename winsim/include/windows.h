// The Win32 subset the project uses.
#pragma once
#include "guiddef.h"
#include "unknwn.h"
#include "winbase.h"
#include "wincon.h"
#include "windef.h"
#include "winerror.h"
#include "wingdi.h"
#include "winnls.h"
#include "winnt.h"
#include "winuser.h"
