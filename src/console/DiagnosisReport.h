// The diagnosis as a person reads it, findings first, or as JSON.
#pragma once

#include "diagnosis/Diagnosis.h"

#include <string>
#include <vector>

// In UTF-16, for Print: an adapter's name may be in any script.
std::wstring DiagnosisText(const DiagnosisFacts& facts, const std::vector<Finding>& findings);
// One JSON object in ASCII: identity, stored, adapters, dialogAddresses,
// firewall, pass, probe and findings.
std::string DiagnosisJson(const DiagnosisFacts& facts, const std::vector<Finding>& findings);
