// The DocuWorks section: the OLE server of ".xdw", its bitness and version,
// and the product's viewer control.
#pragma once

void CheckDocuWorks(const char* upper, const char* lower);
// onWow64: whether Report runs as a 32-bit program on 64-bit Windows.
void CheckDocuWorks(const char* upper, const char* lower, bool onWow64);
