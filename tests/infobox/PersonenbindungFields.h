#pragma once

#include "infobox/Personenbindung.h"
#include "tests/infobox/TestBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// The fourteen fields as text, for one comparison per record.
struct Fields
{
    int32_t version = 0;
    std::string issuerTemplate, secondHeaderText, issueInstant;
    std::string firstPersonText, givenName, familyName, dateOfBirth;
    std::string personData, sequenceData, bitString, taggedBits0, taggedBits1, taggedBits2;
};

inline std::string AsText(const ByteVector& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

inline Fields FieldsOf(const Personenbindung& p)
{
    return {p.version,
            p.issuerTemplate,
            p.secondHeaderText,
            p.issueInstant,
            p.firstPersonText,
            p.givenName,
            p.familyName,
            p.dateOfBirth,
            AsText(p.personData),
            AsText(p.sequenceData),
            AsText(p.bitString),
            AsText(p.taggedBits0),
            AsText(p.taggedBits1),
            AsText(p.taggedBits2)};
}

inline std::vector<std::pair<const char*, std::string>> Texts(const Fields& f)
{
    return {{"issuerTemplate", f.issuerTemplate}, {"secondHeaderText", f.secondHeaderText},
            {"issueInstant", f.issueInstant},     {"firstPersonText", f.firstPersonText},
            {"givenName", f.givenName},           {"familyName", f.familyName},
            {"dateOfBirth", f.dateOfBirth},       {"personData", f.personData},
            {"sequenceData", f.sequenceData},     {"bitString", f.bitString},
            {"taggedBits0", f.taggedBits0},       {"taggedBits1", f.taggedBits1},
            {"taggedBits2", f.taggedBits2}};
}

inline void ExpectFields(const Personenbindung& record, const Fields& expected)
{
    const Fields actual = FieldsOf(record);
    EXPECT_EQ(actual.version, expected.version);
    const auto actualTexts = Texts(actual);
    const auto expectedTexts = Texts(expected);
    for (size_t i = 0; i < actualTexts.size(); ++i)
        EXPECT_EQ(actualTexts[i].second, expectedTexts[i].second) << actualTexts[i].first;
}

// A consistent record cut anywhere: each field is either what the whole record gives or empty,
// and once one field is lost every later one is lost too.
inline void ExpectCutKeepsWhatWasRead(const ByteVector& content, const Fields& whole)
{
    Personenbindung record;
    ASSERT_TRUE(record.parse(Tlv(0x30, content)));
    const Fields cut = FieldsOf(record);
    bool lost = cut.version != whole.version;
    EXPECT_TRUE(!lost || cut.version == 0);
    const auto wholeTexts = Texts(whole);
    const auto cutTexts = Texts(cut);
    for (size_t i = 0; i < cutTexts.size(); ++i)
    {
        if (cutTexts[i].second == wholeTexts[i].second)
            EXPECT_TRUE(!lost || wholeTexts[i].second.empty()) << cutTexts[i].first;
        else
            EXPECT_TRUE(cutTexts[i].second.empty()) << cutTexts[i].first;
        lost = lost || cutTexts[i].second != wholeTexts[i].second;
    }
}

inline void ExpectEveryCutParses(const ByteVector& record, const Fields& whole)
{
    const size_t header = record[1] == 0x82 ? 4 : record[1] == 0x81 ? 3 : 2;
    const ByteVector content(record.begin() + header, record.end());
    for (size_t cut = 0; cut <= content.size(); ++cut)
    {
        SCOPED_TRACE("content cut at " + std::to_string(cut));
        ExpectCutKeepsWhatWasRead(ByteVector(content.begin(), content.begin() + cut), whole);
    }
    // Cut without adjusting the record length: shorter than the length is a record fault.
    for (size_t cut = 0; cut < record.size(); ++cut)
    {
        Personenbindung cutRecord;
        EXPECT_EQ(cutRecord.parse(ByteVector(record.begin(), record.begin() + cut)),
                  cut >= content.size())
            << "record cut at " << cut;
    }
}
