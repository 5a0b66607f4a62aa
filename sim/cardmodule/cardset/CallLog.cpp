#include "sim/cardmodule/cardset/CallLog.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace QuendrySim
{
namespace
{
std::string Unescaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%' && i + 2 < text.size())
        {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        else
            out += text[i];
    }
    return out;
}
} // namespace

std::string CallRecord::Field(const std::string& name) const
{
    auto found = fields.find(name);
    return found == fields.end() ? "" : found->second;
}

CallRecord ParseCallLine(const std::string& line)
{
    CallRecord record;
    std::istringstream words(line);
    words >> record.function;
    std::string word;
    while (words >> word)
    {
        size_t equals = word.find('=');
        if (equals == std::string::npos)
            continue;
        record.fields[word.substr(0, equals)] = Unescaped(word.substr(equals + 1));
    }
    record.rv = std::stoul(record.Field("rv").empty() ? "0" : record.Field("rv"), nullptr, 16);
    return record;
}

std::vector<CallRecord> ReadCallLog(const std::string& path)
{
    std::vector<CallRecord> records;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            records.push_back(ParseCallLine(line));
    return records;
}

std::vector<std::string> UnclosedSessions(const std::vector<CallRecord>& records)
{
    std::vector<std::pair<std::string, std::string>> open; // session, slot
    for (const auto& record : records)
    {
        if (record.rv != 0)
            continue;
        if (record.function == "C_OpenSession")
            open.emplace_back(record.Field("session"), record.Field("slot"));
        else if (record.function == "C_CloseSession")
            open.erase(std::remove_if(open.begin(), open.end(),
                                      [&](const auto& s)
                                      { return s.first == record.Field("session"); }),
                       open.end());
        else if (record.function == "C_CloseAllSessions")
            open.erase(std::remove_if(open.begin(), open.end(),
                                      [&](const auto& s)
                                      { return s.second == record.Field("slot"); }),
                       open.end());
        else if (record.function == "C_Finalize")
            open.clear();
    }
    std::vector<std::string> sessions;
    for (const auto& entry : open)
        sessions.push_back(entry.first);
    return sessions;
}
} // namespace QuendrySim
