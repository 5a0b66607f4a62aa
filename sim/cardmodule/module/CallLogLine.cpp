#include "sim/cardmodule/module/CallLogLine.h"

#include "sim/cardmodule/cardset/Hex.h"

#include <cstdio>

namespace QuendrySim
{
void CallLogLine::Add(const char* key, const std::string& value)
{
    m_text += ' ';
    m_text += key;
    m_text += '=';
    for (unsigned char c : value)
    {
        if (c > ' ' && c <= '~' && c != '%')
        {
            m_text += static_cast<char>(c);
            continue;
        }
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        m_text += escaped;
    }
}

void CallLogLine::AddNumber(const char* key, unsigned long value)
{
    Add(key, std::to_string(value));
}

void CallLogLine::AddCode(const char* key, unsigned long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", value);
    Add(key, text);
}

void CallLogLine::AddHex(const char* key, const unsigned char* data, size_t length)
{
    Add(key, ToHex(data, length));
}

std::string CallLogLine::Finish(unsigned long rv) const
{
    char text[24];
    std::snprintf(text, sizeof text, " rv=0x%lx\n", rv);
    return m_text + text;
}
} // namespace QuendrySim
