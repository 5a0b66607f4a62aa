#include "PinWindowCases.h"

namespace SimTest
{
const std::vector<PinWindowCase>& PinWindowCases()
{
    // clang-format off
    static const std::vector<PinWindowCase> cases = {
        {"log-in", Ask::LogIn, kEnc2, 3, 10, {{"1234"}}, 1,
         {"Log in", "encryption PIN"}, CKR_OK, "1234", 3, 10},
        {"log-in typed wrong", Ask::LogIn, kEnc2, 3, 10, {{"0000"}}, 1,
         {"encryption PIN"}, CKR_PIN_INCORRECT, "1234", 2, 10},
        {"log-in cancelled costs no try", Ask::LogIn, kEnc2, 2, 10, {}, 1,
         {"encryption PIN"}, CKR_FUNCTION_CANCELED, "1234", 2, 10},
        {"an empty entry is asked again", Ask::LogIn, kEnc2, 3, 10, {{""}, {"1234"}}, 2,
         {"Every entry", "encryption PIN"}, CKR_OK, "1234", 3, 10},
        {"change", Ask::Change, kSig1, 2, 10, {{"123456", "654321", "654321"}}, 1,
         {"Change", "signature PIN"}, CKR_OK, "654321", 3, 10},
        {"change whose new PINs differ is asked again", Ask::Change, kSig1, 2, 10,
         {{"123456", "654321", "111111"}, {"123456", "222222", "222222"}}, 2,
         {"differ", "signature PIN"}, CKR_OK, "222222", 3, 10},
        {"change cancelled after differing PINs costs no try", Ask::Change, kSig1, 2, 10,
         {{"000000", "654321", "111111"}}, 2,
         {"differ"}, CKR_FUNCTION_CANCELED, "123456", 2, 10},
        {"change of the Infobox PIN", Ask::Change, kInfobox0, 3, 10, {{"4321", "9876", "9876"}}, 1,
         {"Change", "Infobox PIN"}, CKR_OK, "9876", 3, 10},
        {"unblock", Ask::Unblock, kSig4, 0, 9, {{"12345678", "333333", "333333"}}, 1,
         {"Unblock", "signature PIN", "PUK"}, CKR_OK, "333333", 3, 10},
        {"unblock with a wrong PUK", Ask::Unblock, kSig4, 0, 9,
         {{"11111111", "333333", "333333"}}, 1, {"Unblock"}, CKR_PIN_INCORRECT, "123456", 0, 8},
    };
    // clang-format on
    return cases;
}

bool ArrangePin(const QuendrySim::SimEnvironment& env, const PinWindowCase& c)
{
    auto set = env.Load();
    QuendrySim::Pin& pin = set.slots[c.owner.cardType].card->pins.at(c.owner.pinName);
    pin.retries = c.retries;
    pin.pukRetries = c.pukRetries;
    return env.Save(set);
}

CK_RV AskThePin(const LoadedModule& module, CK_SESSION_HANDLE session, const PinWindowCase& c)
{
    if (c.ask == Ask::LogIn)
        return module.F().C_Login(session, CKU_USER, nullptr, 0);
    CK_OBJECT_HANDLE object = module.Find(session, c.owner.objectClass, c.owner.label);
    return module.SetPinAttribute(
        session, object, c.ask == Ask::Change ? CKA_QUENDRY_CHANGE_PIN : CKA_QUENDRY_UNBLOCK_PIN);
}

void ExpectPinAfter(const QuendrySim::SimEnvironment& env, const PinWindowCase& c)
{
    const auto set = env.Load();
    const QuendrySim::Pin& pin = set.slots[c.owner.cardType].card->pins.at(c.owner.pinName);
    EXPECT_EQ(c.valueAfter, pin.value);
    EXPECT_EQ(c.retriesAfter, pin.retries);
    EXPECT_EQ(c.pukRetriesAfter, pin.pukRetries);
}

std::string CardLabel(const QuendrySim::SimEnvironment& env, const PinWindowCase& c)
{
    return env.Load().slots[c.owner.cardType].card->label;
}
} // namespace SimTest
