// The security-software section: vendor registry keys, the candidates the
// process list collected, and the virus-definition files of three vendors.
#pragma once
#include "probes/apps/security_candidates_rules.h"

void CheckSecuritySoftware();
