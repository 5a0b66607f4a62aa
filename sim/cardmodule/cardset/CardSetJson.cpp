#include "sim/cardmodule/cardset/AtomicFile.h"
#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/cardset/Hex.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace QuendrySim
{
namespace
{
using Json = rapidjson::Value;
using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

const std::pair<ObjectClass, const char*> kClassNames[] = {
    {ObjectClass::Data, "data"},
    {ObjectClass::Certificate, "certificate"},
    {ObjectClass::PrivateKey, "private_key"},
    {ObjectClass::PublicKey, "public_key"}};
const std::pair<KeyType, const char*> kKeyTypeNames[] = {
    {KeyType::None, "none"}, {KeyType::Rsa, "rsa"}, {KeyType::Ec, "ec"}, {KeyType::Dsa, "dsa"}};

template <typename Enum, size_t N>
const char* NameOf(const std::pair<Enum, const char*> (&names)[N], Enum value)
{
    for (const auto& entry : names)
        if (entry.first == value)
            return entry.second;
    return names[0].second;
}

template <typename Enum, size_t N>
bool ValueOf(const std::pair<Enum, const char*> (&names)[N], const std::string& name, Enum& out)
{
    for (const auto& entry : names)
        if (name == entry.second)
        {
            out = entry.first;
            return true;
        }
    return false;
}

// Reads members leniently where a default makes sense and remembers any malformed value, with
// the first one's name so that a hand-edited card set can be put right.
class Reader
{
public:
    std::string error; // the first malformed member; empty while all are well

    void Refuse(const char* name, const char* reason)
    {
        if (error.empty())
            error = std::string("member \"") + name + "\": " + reason;
    }

    std::string Text(const Json& object, const char* name, const std::string& fallback = "")
    {
        auto member = object.FindMember(name);
        if (member == object.MemberEnd() || member->value.IsNull())
            return fallback;
        if (!member->value.IsString())
            return Fail(name, "must be a text", fallback);
        return std::string(member->value.GetString(), member->value.GetStringLength());
    }

    int Int(const Json& object, const char* name, int fallback)
    {
        auto member = object.FindMember(name);
        if (member == object.MemberEnd())
            return fallback;
        return member->value.IsInt() ? member->value.GetInt()
                                     : Fail(name, "must be a whole number", fallback);
    }

    bool Bool(const Json& object, const char* name, bool fallback)
    {
        auto member = object.FindMember(name);
        if (member == object.MemberEnd())
            return fallback;
        return member->value.IsBool() ? member->value.GetBool()
                                      : Fail(name, "must be true or false", fallback);
    }

    // A number or a text such as "0x80000001".
    std::optional<Code> CodeValue(const Json& object, const char* name)
    {
        auto member = object.FindMember(name);
        if (member == object.MemberEnd() || member->value.IsNull())
            return std::nullopt;
        return ParseCode(member->value, name);
    }

    std::optional<Code> ParseCode(const Json& value, const char* name)
    {
        if (value.IsUint64())
            return static_cast<Code>(value.GetUint64());
        if (value.IsString())
        {
            char* end = nullptr;
            Code code = std::strtoul(value.GetString(), &end, 0);
            if (end != value.GetString() && *end == '\0')
                return code;
        }
        Refuse(name, "must be a number or a text such as \"0x80000001\"");
        return std::nullopt;
    }

    ByteVector Bytes(const Json& object, const char* name)
    {
        return HexBytes(Text(object, name), name);
    }

    ByteVector HexBytes(const std::string& text, const char* name)
    {
        ByteVector bytes;
        if (!FromHex(text, bytes))
            Refuse(name, "must be hex digits in pairs");
        return bytes;
    }

    const Json* Array(const Json& object, const char* name)
    {
        auto member = object.FindMember(name);
        if (member == object.MemberEnd() || member->value.IsNull())
            return nullptr;
        if (member->value.IsArray())
            return &member->value;
        Refuse(name, "must be a list");
        return nullptr;
    }

private:
    template <typename T> T Fail(const char* name, const char* reason, T fallback)
    {
        Refuse(name, reason);
        return fallback;
    }
};

Pin ReadPin(Reader& reader, const Json& json)
{
    Pin pin;
    pin.value = reader.Text(json, "value");
    pin.puk = reader.Text(json, "puk");
    pin.retries = reader.Int(json, "retries", pin.retries);
    pin.maxRetries = reader.Int(json, "max_retries", pin.maxRetries);
    pin.pukRetries = reader.Int(json, "puk_retries", pin.pukRetries);
    pin.maxPukRetries = reader.Int(json, "max_puk_retries", pin.maxPukRetries);
    pin.minLength = reader.Int(json, "min_length", pin.minLength);
    pin.maxLength = reader.Int(json, "max_length", pin.maxLength);
    return pin;
}

void ReadRawAttributes(Reader& reader, const Json& json, CardObject& object)
{
    auto member = json.FindMember("attributes");
    if (member == json.MemberEnd())
        return;
    if (!member->value.IsObject())
    {
        reader.Refuse("attributes", "must be an object");
        return;
    }
    for (const auto& entry : member->value.GetObject())
    {
        std::optional<Code> type = reader.ParseCode(entry.name, "attributes");
        if (!type)
            continue;
        if (entry.value.IsNull())
            object.attributes[*type] = std::nullopt;
        else if (entry.value.IsString())
            object.attributes[*type] = reader.HexBytes(entry.value.GetString(), "attributes");
        else
            reader.Refuse("attributes", "values must be hex texts or null");
    }
}

CardObject ReadObject(Reader& reader, const Json& json)
{
    CardObject object;
    if (!ValueOf(kClassNames, reader.Text(json, "class", "data"), object.objectClass))
        reader.Refuse("class", "is not a known object class");
    object.label = reader.Text(json, "label");
    object.id = reader.Bytes(json, "id");
    object.isPrivate = reader.Bool(json, "private", false);
    object.value = reader.Bytes(json, "value");
    if (!ValueOf(kKeyTypeNames, reader.Text(json, "key_type", "none"), object.keyType))
        reader.Refuse("key_type", "is not a known key type");
    object.key = reader.Bytes(json, "key");
    object.pin = reader.Text(json, "pin");
    object.writePin = reader.Text(json, "write_pin");
    object.linked = reader.Text(json, "linked");
    ReadRawAttributes(reader, json, object);
    return object;
}

CardFile ReadFile(Reader& reader, const Json& json)
{
    CardFile file;
    file.path = reader.Text(json, "path");
    file.sfi = reader.Int(json, "sfi", 0);
    file.data = reader.Bytes(json, "data");
    if (const Json* records = reader.Array(json, "records"))
    {
        file.isRecordFile = true;
        for (const auto& record : records->GetArray())
            file.records.push_back(
                record.IsString() ? reader.HexBytes(record.GetString(), "records") : ByteVector{});
    }
    return file;
}

template <typename T, typename ReadOne>
std::vector<T> ReadList(Reader& reader, const Json& json, const char* name, ReadOne readOne)
{
    std::vector<T> items;
    if (const Json* array = reader.Array(json, name))
        for (const auto& item : array->GetArray())
        {
            if (item.IsObject())
                items.push_back(readOne(reader, item));
            else
                reader.Refuse(name, "each entry must be an object");
        }
    return items;
}

Card ReadCard(Reader& reader, const Json& json)
{
    Card card;
    card.cardType = reader.Int(json, "card_type", -1);
    card.label = reader.Text(json, "label");
    card.manufacturer = reader.Text(json, "manufacturer");
    card.model = reader.Text(json, "model");
    card.serial = reader.Text(json, "serial");
    card.atr = reader.Bytes(json, "atr");
    card.chipId = reader.Bytes(json, "chip_id");
    card.loginPin = reader.Text(json, "login_pin");
    auto pins = json.FindMember("pins");
    if (pins != json.MemberEnd() && pins->value.IsObject())
        for (const auto& entry : pins->value.GetObject())
            card.pins[entry.name.GetString()] = ReadPin(reader, entry.value);
    card.objects = ReadList<CardObject>(reader, json, "objects", ReadObject);
    card.files = ReadList<CardFile>(reader, json, "files", ReadFile);
    card.apdus = ReadList<ApduAnswer>(
        reader, json, "apdus",
        [](Reader& r, const Json& item) {
            return ApduAnswer{r.Bytes(item, "command"), r.Bytes(item, "response")};
        });
    card.registers = ReadList<RegisterAnswer>(
        reader, json, "registers",
        [](Reader& r, const Json& item)
        {
            return RegisterAnswer{r.CodeValue(item, "operation").value_or(0),
                                  r.CodeValue(item, "rv").value_or(0), r.Bytes(item, "output")};
        });
    return card;
}

Slot ReadSlot(Reader& reader, const Json& json)
{
    Slot slot;
    slot.id = reader.CodeValue(json, "id").value_or(0);
    slot.description = reader.Text(json, "description");
    slot.removable = reader.Bool(json, "removable", true);
    auto card = json.FindMember("card");
    if (card != json.MemberEnd() && card->value.IsObject())
        slot.card = ReadCard(reader, card->value);
    return slot;
}

DialogAnswer ReadDialogKind(Reader& reader, const Json& json)
{
    if (const Json* values = reader.Array(json, "enter"))
    {
        std::vector<std::string> texts;
        for (const auto& value : values->GetArray())
            texts.push_back(value.IsString() ? value.GetString() : "");
        return DialogAnswer::Enter(texts);
    }
    if (reader.Bool(json, "fail", false))
        return DialogAnswer::Fail();
    if (auto rv = reader.CodeValue(json, "rv"))
        return DialogAnswer::Answer(*rv);
    return DialogAnswer::Cancel();
}

DialogAnswer ReadDialogAnswer(Reader& reader, const Json& json)
{
    DialogAnswer answer = ReadDialogKind(reader, json);
    answer.pin = reader.Text(json, "pin");
    return answer;
}

// C0, DEL and C1 (U+0080 to U+009F, in UTF-8 C2 80 to C2 9F).
bool HoldsControlCharacter(const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next <= 0x9F))
            return true;
    }
    return false;
}

Fault ReadFault(Reader& reader, const Json& json)
{
    Fault fault;
    fault.function = reader.Text(json, "function");
    fault.rv = reader.CodeValue(json, "rv");
    fault.skip = reader.Int(json, "skip", 0);
    if (json.HasMember("times"))
        fault.times = reader.Int(json, "times", 1);
    fault.gate = reader.Text(json, "gate");
    // The module removes the gate once it is there, so it may name only a file beside the card set.
    if (fault.gate.find_first_of("/\\") != std::string::npos || fault.gate == "." ||
        fault.gate == "..")
        reader.Refuse("gate", "must be a file name in the card set's folder");
    // No one makes such a file by hand (a NUL even cuts the name short), so the call would wait
    // for ever.
    if (HoldsControlCharacter(fault.gate))
        reader.Refuse("gate", "must not hold a control character");
    return fault;
}

// "line L, column C" of a byte offset, both counted from 1, as an editor shows them.
std::string PlaceOf(const std::string& text, size_t offset)
{
    const std::string before = text.substr(0, offset);
    const size_t lineEnd = before.rfind('\n');
    const size_t column =
        lineEnd == std::string::npos ? before.size() : before.size() - lineEnd - 1;
    const auto line = std::count(before.begin(), before.end(), '\n');
    return "line " + std::to_string(line + 1) + ", column " + std::to_string(column + 1);
}

// Writing.

void Key(Writer& writer, const char* name)
{
    writer.Key(name);
}

void TextMember(Writer& writer, const char* name, const std::string& text)
{
    writer.Key(name);
    writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
}

void OptionalText(Writer& writer, const char* name, const std::string& text)
{
    if (!text.empty())
        TextMember(writer, name, text);
}

void HexMember(Writer& writer, const char* name, const ByteVector& bytes)
{
    TextMember(writer, name, ToHex(bytes));
}

void IntMember(Writer& writer, const char* name, int value)
{
    writer.Key(name);
    writer.Int(value);
}

void CodeMember(Writer& writer, const char* name, Code value)
{
    writer.Key(name);
    writer.Uint64(value);
}

void WritePin(Writer& writer, const Pin& pin)
{
    writer.StartObject();
    TextMember(writer, "value", pin.value);
    TextMember(writer, "puk", pin.puk);
    IntMember(writer, "retries", pin.retries);
    IntMember(writer, "max_retries", pin.maxRetries);
    IntMember(writer, "puk_retries", pin.pukRetries);
    IntMember(writer, "max_puk_retries", pin.maxPukRetries);
    IntMember(writer, "min_length", pin.minLength);
    IntMember(writer, "max_length", pin.maxLength);
    writer.EndObject();
}

void WriteObject(Writer& writer, const CardObject& object)
{
    writer.StartObject();
    TextMember(writer, "class", NameOf(kClassNames, object.objectClass));
    TextMember(writer, "label", object.label);
    if (!object.id.empty())
        HexMember(writer, "id", object.id);
    writer.Key("private");
    writer.Bool(object.isPrivate);
    if (object.objectClass == ObjectClass::Data || object.objectClass == ObjectClass::Certificate)
        HexMember(writer, "value", object.value);
    if (object.keyType != KeyType::None)
        TextMember(writer, "key_type", NameOf(kKeyTypeNames, object.keyType));
    if (!object.key.empty())
        HexMember(writer, "key", object.key);
    OptionalText(writer, "pin", object.pin);
    OptionalText(writer, "write_pin", object.writePin);
    OptionalText(writer, "linked", object.linked);
    if (!object.attributes.empty())
    {
        Key(writer, "attributes");
        writer.StartObject();
        for (const auto& [type, value] : object.attributes)
        {
            char name[24];
            std::snprintf(name, sizeof name, "0x%lx", type);
            writer.Key(name);
            if (value)
                writer.String(ToHex(*value).c_str());
            else
                writer.Null();
        }
        writer.EndObject();
    }
    writer.EndObject();
}

void WriteFile(Writer& writer, const CardFile& file)
{
    writer.StartObject();
    TextMember(writer, "path", file.path);
    if (file.sfi != 0)
        IntMember(writer, "sfi", file.sfi);
    if (file.isRecordFile)
    {
        Key(writer, "records");
        writer.StartArray();
        for (const auto& record : file.records)
            writer.String(ToHex(record).c_str());
        writer.EndArray();
    }
    else
        HexMember(writer, "data", file.data);
    writer.EndObject();
}

template <typename T, typename WriteOne>
void WriteList(Writer& writer, const char* name, const std::vector<T>& items, WriteOne writeOne)
{
    Key(writer, name);
    writer.StartArray();
    for (const auto& item : items)
        writeOne(writer, item);
    writer.EndArray();
}

void WriteCard(Writer& writer, const Card& card)
{
    writer.StartObject();
    IntMember(writer, "card_type", card.cardType);
    TextMember(writer, "label", card.label);
    TextMember(writer, "manufacturer", card.manufacturer);
    TextMember(writer, "model", card.model);
    TextMember(writer, "serial", card.serial);
    HexMember(writer, "atr", card.atr);
    if (!card.chipId.empty())
        HexMember(writer, "chip_id", card.chipId);
    TextMember(writer, "login_pin", card.loginPin);
    Key(writer, "pins");
    writer.StartObject();
    for (const auto& [name, pin] : card.pins)
    {
        writer.Key(name.c_str());
        WritePin(writer, pin);
    }
    writer.EndObject();
    WriteList(writer, "objects", card.objects, WriteObject);
    WriteList(writer, "files", card.files, WriteFile);
    WriteList(writer, "apdus", card.apdus,
              [](Writer& w, const ApduAnswer& answer)
              {
                  w.StartObject();
                  HexMember(w, "command", answer.command);
                  HexMember(w, "response", answer.response);
                  w.EndObject();
              });
    WriteList(writer, "registers", card.registers,
              [](Writer& w, const RegisterAnswer& answer)
              {
                  w.StartObject();
                  CodeMember(w, "operation", answer.operation);
                  CodeMember(w, "rv", answer.rv);
                  HexMember(w, "output", answer.output);
                  w.EndObject();
              });
    writer.EndObject();
}

void WriteSlot(Writer& writer, const Slot& slot)
{
    writer.StartObject();
    CodeMember(writer, "id", slot.id);
    TextMember(writer, "description", slot.description);
    writer.Key("removable");
    writer.Bool(slot.removable);
    Key(writer, "card");
    if (slot.card)
        WriteCard(writer, *slot.card);
    else
        writer.Null();
    writer.EndObject();
}

void WriteDialogAnswer(Writer& writer, const DialogAnswer& answer)
{
    writer.StartObject();
    OptionalText(writer, "pin", answer.pin);
    switch (answer.kind)
    {
    case DialogAnswer::Kind::Enter:
        Key(writer, "enter");
        writer.StartArray();
        for (const auto& value : answer.values)
            writer.String(value.c_str());
        writer.EndArray();
        break;
    case DialogAnswer::Kind::Cancel:
        Key(writer, "cancel");
        writer.Bool(true);
        break;
    case DialogAnswer::Kind::Fail:
        Key(writer, "fail");
        writer.Bool(true);
        break;
    case DialogAnswer::Kind::Code:
        CodeMember(writer, "rv", answer.rv);
        break;
    }
    writer.EndObject();
}

void WriteFault(Writer& writer, const Fault& fault)
{
    writer.StartObject();
    TextMember(writer, "function", fault.function);
    if (fault.rv)
        CodeMember(writer, "rv", *fault.rv);
    IntMember(writer, "skip", fault.skip);
    if (fault.times)
        IntMember(writer, "times", *fault.times);
    OptionalText(writer, "gate", fault.gate);
    writer.EndObject();
}

// Whether removing the gate removes the file behind the card set's path: the gate's folder with
// every link resolved and its name not followed, as a removal takes it, against the card set's
// path with every link resolved; or an existing gate that is that file under another spelling,
// such as a name in another case where names ignore case.
bool IsRealFileOf(const std::filesystem::path& cardSet, const std::string& gate)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(cardSet, error);
    if (error)
        return false;
    const std::filesystem::path folder =
        std::filesystem::weakly_canonical(absolute.parent_path(), error);
    if (error)
        return false;
    const std::filesystem::path realFile = std::filesystem::weakly_canonical(absolute, error);
    if (error)
        return false;
    const std::filesystem::path removed = folder / gate;
    return removed == realFile || std::filesystem::equivalent(removed, realFile, error);
}
} // namespace

bool ParseCardSet(const std::string& json, CardSet& out)
{
    std::string ignored;
    return ParseCardSet(json, out, ignored);
}

bool ParseCardSet(const std::string& json, CardSet& out, std::string& error)
{
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError())
    {
        error = PlaceOf(json, document.GetErrorOffset()) + ": " +
                rapidjson::GetParseError_En(document.GetParseError());
        return false;
    }
    if (!document.IsObject())
    {
        error = "the card set must be a JSON object";
        return false;
    }
    Reader reader;
    CardSet set;
    set.log = reader.Text(document, "log");
    set.nextHandle = reader.CodeValue(document, "next_handle").value_or(1);
    set.dialog = ReadList<DialogAnswer>(reader, document, "dialog", ReadDialogAnswer);
    set.faults = ReadList<Fault>(reader, document, "faults", ReadFault);
    set.slots = ReadList<Slot>(reader, document, "slots", ReadSlot);
    if (!reader.error.empty())
    {
        error = reader.error;
        return false;
    }
    out = std::move(set);
    return true;
}

std::string WriteCardSet(const CardSet& set)
{
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.SetIndent(' ', 2);
    writer.StartObject();
    OptionalText(writer, "log", set.log);
    CodeMember(writer, "next_handle", set.nextHandle);
    WriteList(writer, "dialog", set.dialog, WriteDialogAnswer);
    WriteList(writer, "faults", set.faults, WriteFault);
    WriteList(writer, "slots", set.slots, WriteSlot);
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

bool CheckGates(const CardSet& set, const std::string& cardSetPath, std::string& error)
{
    const std::filesystem::path file(cardSetPath);
    Reader reader;
    for (const Fault& fault : set.faults)
    {
        if (fault.gate.empty())
            continue;
        std::error_code ignored;
        if (fault.gate == file.filename().string() || IsRealFileOf(file, fault.gate))
            reader.Refuse("gate", "must not name the card set's own file");
        else if (std::filesystem::is_directory(file.parent_path() / fault.gate, ignored))
            reader.Refuse("gate", "must not name a folder");
    }
    error = reader.error;
    return error.empty();
}

bool LoadCardSet(const std::string& path, CardSet& out)
{
    std::string json;
    return ReadWholeFile(path, json) && ParseCardSet(json, out);
}

bool SaveCardSet(const CardSet& set, const std::string& path)
{
    return WriteFileAtomically(path, WriteCardSet(set));
}
} // namespace QuendrySim
