// Internet Explorer's ActiveX filter and the security settings of the
// Internet zone that the product's viewer depends on.
#pragma once
#include <windows.h>

void CheckIESecurity();
// Names of URL-action settings and of zone template levels.
const char* GetUrlActionName(DWORD value);
const char* GetZoneLevelName(DWORD level);
