#pragma once

// Whether the ACOS renewal sends the CP data: the value "CP" of the program's key in
// HKEY_LOCAL_MACHINE (plain path) leaves it out when its text begins with "N" in any case; any
// other text, no value and no key keep it. Read afresh at each call.
bool UseAcosCpData();
