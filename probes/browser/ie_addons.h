// The Internet Explorer add-ons recorded for the current user, with their
// state, kind and registered name.
#pragma once
#include <windows.h>

// Add-ons looked at before the list is cut short.
const DWORD kMaxIEAddons = 5000;

void ListIEAddons();
// "ActiveX", toolbar, helper or extension for types 1 to 4, nullptr otherwise.
const char* GetAddonTypeName(DWORD type);
