#include "sim/cardmodule/module/PinEngine.h"

#include <algorithm>
#include <cctype>

namespace QuendrySim
{
namespace
{
CK_RV CheckSecret(const std::string& expected, const std::string& given, int& retries,
                  int maxRetries)
{
    if (retries <= 0)
        return CKR_PIN_LOCKED;
    if (given != expected)
        return --retries <= 0 ? CKR_PIN_LOCKED : CKR_PIN_INCORRECT;
    retries = maxRetries;
    return CKR_OK;
}

CK_RV CheckNewPin(const Pin& pin, const std::string& value)
{
    if (static_cast<int>(value.size()) < pin.minLength ||
        static_cast<int>(value.size()) > pin.maxLength)
        return CKR_PIN_LEN_RANGE;
    bool digits = std::all_of(value.begin(), value.end(),
                              [](unsigned char c) { return std::isdigit(c) != 0; });
    return digits ? CKR_OK : CKR_PIN_INVALID;
}

CK_RV ChangeOrUnblock(DialogKind kind, Pin& pin, const std::vector<std::string>& values)
{
    if (values.size() < 2)
        return CKR_FUNCTION_CANCELED; // the dialog was closed before the new PIN was given
    CK_RV rv = kind == DialogKind::Change
                   ? CheckSecret(pin.value, values[0], pin.retries, pin.maxRetries)
                   : CheckSecret(pin.puk, values[0], pin.pukRetries, pin.maxPukRetries);
    if (rv != CKR_OK)
        return rv;
    rv = CheckNewPin(pin, values[1]);
    if (rv != CKR_OK)
        return rv;
    pin.value = values[1];
    pin.retries = pin.maxRetries;
    return CKR_OK;
}
} // namespace

bool IsLockedFor(DialogKind kind, const Pin& pin)
{
    return kind == DialogKind::Unblock ? pin.pukRetries <= 0 : pin.retries <= 0;
}

const char* AnswerName(const DialogAnswer& answer)
{
    switch (answer.kind)
    {
    case DialogAnswer::Kind::Enter:
        return "enter";
    case DialogAnswer::Kind::Fail:
        return "fail";
    case DialogAnswer::Kind::Code:
        return "rv";
    case DialogAnswer::Kind::Cancel:
        break;
    }
    return "cancel";
}

std::optional<DialogAnswer> TakeAnswerFor(std::vector<DialogAnswer>& queue,
                                          const std::string& pinName)
{
    auto fits = std::find_if(queue.begin(), queue.end(),
                             [&pinName](const DialogAnswer& answer)
                             { return answer.pin.empty() || answer.pin == pinName; });
    if (fits == queue.end())
        return std::nullopt;
    DialogAnswer taken = std::move(*fits);
    queue.erase(fits);
    return taken;
}

CK_RV ApplyDialogAnswer(DialogKind kind, Pin& pin, const DialogAnswer& answer)
{
    switch (answer.kind)
    {
    case DialogAnswer::Kind::Cancel:
        return CKR_FUNCTION_CANCELED;
    case DialogAnswer::Kind::Fail:
        return CKR_FUNCTION_FAILED;
    case DialogAnswer::Kind::Code:
        return answer.rv;
    case DialogAnswer::Kind::Enter:
        break;
    }
    if (kind != DialogKind::Verify)
        return ChangeOrUnblock(kind, pin, answer.values);
    if (answer.values.empty())
        return CKR_FUNCTION_CANCELED;
    return VerifyPin(pin, answer.values[0]);
}

CK_RV VerifyPin(Pin& pin, const std::string& value)
{
    return CheckSecret(pin.value, value, pin.retries, pin.maxRetries);
}
} // namespace QuendrySim
