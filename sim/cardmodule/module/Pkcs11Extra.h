#pragma once

// Parts of the standard that only the simulated module needs, beside the project's declarations.

#include "token/Pkcs11Types.h"

namespace QuendrySim
{
struct MechanismInfo // CK_MECHANISM_INFO
{
    CK_ULONG ulMinKeySize;
    CK_ULONG ulMaxKeySize;
    CK_FLAGS flags;
};

constexpr CK_RV kRvAttributeSensitive = 0x011;
constexpr CK_RV kRvKeyFunctionNotPermitted = 0x068;
constexpr CK_RV kRvTemplateInconsistent = 0x0D1;
constexpr CK_RV kRvRandomNoRng = 0x121;

constexpr CK_FLAGS kMechanismHw = 0x1;
constexpr CK_FLAGS kMechanismSign = 0x800;
constexpr CK_FLAGS kMechanismVerify = 0x2000;
constexpr CK_FLAGS kMechanismEcFp = 0x100000;
constexpr CK_FLAGS kMechanismEcNamedCurve = 0x800000;
constexpr CK_FLAGS kMechanismEcUncompressed = 0x1000000;

constexpr CK_ATTRIBUTE_TYPE kAttrWrap = 0x106;
constexpr CK_ATTRIBUTE_TYPE kAttrSignRecover = 0x109;
constexpr CK_ATTRIBUTE_TYPE kAttrVerifyRecover = 0x10B;
constexpr CK_ATTRIBUTE_TYPE kAttrUnwrap = 0x107;
constexpr CK_ATTRIBUTE_TYPE kAttrDerive = 0x10C;
constexpr CK_ATTRIBUTE_TYPE kAttrLocal = 0x163;
constexpr CK_ATTRIBUTE_TYPE kAttrNeverExtractable = 0x164;
constexpr CK_ATTRIBUTE_TYPE kAttrAlwaysSensitive = 0x165;
constexpr CK_ATTRIBUTE_TYPE kAttrModifiable = 0x170;
} // namespace QuendrySim
