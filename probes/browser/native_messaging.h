// The product's native-messaging host registration for Chrome and the
// executable its manifest names.
#pragma once

// Largest host manifest read; a real one is a few hundred bytes.
const unsigned long kNativeManifestMaxBytes = 1024UL * 1024;

bool CheckNativeMessaging();
