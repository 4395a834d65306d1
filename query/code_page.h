// The running system's ANSI code page for the text rules.
#pragma once

// Hands the lead bytes of the system's ANSI code page to the text rules
// (cp932's stay when the system cannot say). Called first thing in main, before
// any other thread starts.
void UseSystemLeadBytes();
