#pragma once

#include <string>

namespace QuendrySim
{
// One line of the call log: the function name, then "key=value" fields, then "rv=".
class CallLogLine
{
public:
    explicit CallLogLine(const char* function) : m_text(function) {}

    // Text values escape every byte outside '!'..'~' and '%' as %XX.
    void Add(const char* key, const std::string& value);
    void AddNumber(const char* key, unsigned long value);
    void AddCode(const char* key, unsigned long value); // 0x... form
    void AddHex(const char* key, const unsigned char* data, size_t length);
    std::string Finish(unsigned long rv) const;

private:
    std::string m_text;
};
} // namespace QuendrySim
