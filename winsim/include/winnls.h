// National language support: the code-page identifiers.
#pragma once

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_UTF7 65000u
#define CP_UTF8 65001u
