#include "infobox/Personenbindung.h"
#include "tests/infobox/PersonenbindungFields.h"
#include "tests/infobox/TestBytes.h"
#include "tests/platform/ScopedTempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

// Identity links made by the openssl command line tool from a generator configuration, so the
// encodings (length forms, UTF-8 texts, bit strings) come from an encoder we did not write.
namespace
{

// Runs "openssl asn1parse -genconf"; empty on failure.
ByteVector Generate(const std::string& config)
{
    const ScopedTempFolder folder;
    WriteTextFile(folder.File("record.cnf"), config);
    // Double quotes and no redirection: the same line runs in sh and in cmd.
    const std::string command = "openssl asn1parse -genconf \"" + folder.File("record.cnf") +
                                "\" -out \"" + folder.File("record.der") + "\" -noout";
    if (std::system(command.c_str()) != 0)
        return {};
    return Text(ReadTextFile(folder.File("record.der")));
}

struct OpensslCase
{
    const char* name;
    std::string config;
    Fields expected;
    unsigned char recordLengthForm; // the octet after the outer SEQUENCE tag
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const OpensslCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string longTemplate = "https://register.test/templates/" + std::string(200, 'x');
const std::string longGivenName = "Hans-" + std::string(130, 'j');
const std::string hexBits300 = []
{
    std::string hex;
    for (int i = 0; i < 300; ++i)
        hex += "5A";
    return hex;
}();

const std::string personSection = R"(
[person]
first = UTF8:ZMR-000123456789
given = FORMAT:UTF8,UTF8:Jürgen
family = FORMAT:UTF8,UTF8:Müller-Lüdenscheidt
birth = UTF8:1970-02-03
[sig]
alg = OID:1.2.840.113549.1.1.11
)";

const std::string personSequenceHex = "303E"
                                      "0C105A4D522D303030313233343536373839"
                                      "0C074AC3BC7267656E"
                                      "0C154DC3BC6C6C65722D4CC3BC64656E73636865696474"
                                      "0C0A313937302D30322D3033";

Fields FullFields(const std::string& issuerTemplate)
{
    return {1,
            issuerTemplate,
            "urn:second",
            "2024-05-06T07:08:09",
            "ZMR-000123456789",
            "J\xC3\xBCrgen",
            "M\xC3\xBCller-L\xC3\xBC"
            "denscheidt",
            "1970-02-03",
            AsText(Hex(personSequenceHex)),
            AsText(Hex("0609 2A864886F70D01010B")),
            AsText(Hex("A1B2C3")),
            AsText(Hex("0102")),
            AsText(Hex("FF")),
            AsText(Hex("C0FFEE"))};
}

std::string FullConfig(const std::string& issuerTemplate, const std::string& extra = "")
{
    return "asn1 = SEQUENCE:record\n[record]\nversion = INTEGER:1\nissuer = UTF8:" +
           issuerTemplate +
           "\nsecond = UTF8:urn:second\ninstant = UTF8:2024-05-06T07:08:09\n"
           "person = EXPLICIT:0,SEQUENCE:person\nsig = SEQUENCE:sig\n"
           "bits = FORMAT:HEX,BITSTRING:A1B2C3\n"
           "t0 = EXPLICIT:0,FORMAT:HEX,BITSTRING:0102\n"
           "t1 = EXPLICIT:1,FORMAT:HEX,BITSTRING:FF\n"
           "t2 = EXPLICIT:2,FORMAT:HEX,BITSTRING:C0FFEE\n" +
           extra + personSection;
}

std::vector<OpensslCase> Cases()
{
    std::vector<OpensslCase> cases;
    cases.push_back({"ShortLengths", FullConfig("urn:template"), FullFields("urn:template"), 0x81});

    cases.push_back(
        {"LongTemplateAndRecord", FullConfig(longTemplate), FullFields(longTemplate), 0x82});

    Fields longPerson;
    longPerson.version = 300;
    longPerson.givenName = longGivenName;
    longPerson.firstPersonText = "1";
    longPerson.personData = AsText(Join({Hex("30 81 8D 0C 01 31 0C 81 87"), Text(longGivenName)}));
    cases.push_back(
        {"LongPersonData",
         "asn1 = SEQUENCE:record\n[record]\nversion = INTEGER:300\n"
         "person = EXPLICIT:0,SEQUENCE:person\n[person]\nfirst = UTF8:1\ngiven = UTF8:" +
             longGivenName + "\n",
         longPerson, 0x81});

    Fields longBits;
    longBits.issuerTemplate = "T";
    longBits.bitString = AsText(Hex(hexBits300));
    longBits.taggedBits2 = AsText(Hex("77"));
    cases.push_back({"LongBitStringUnusedBitsTagged",
                     "asn1 = SEQUENCE:record\n[record]\nissuer = UTF8:T\n"
                     "bits = FORMAT:HEX,BITSTRING:" +
                         hexBits300 +
                         "\nt1 = EXPLICIT:1,FORMAT:BITLIST,BITSTRING:1,3\n"
                         "t2 = EXPLICIT:2,FORMAT:HEX,BITSTRING:77\n",
                     longBits, 0x82});

    Fields noPerson;
    noPerson.version = 2;
    noPerson.issuerTemplate = "urn:a";
    noPerson.secondHeaderText = "urn:b";
    cases.push_back({"HeaderOnlyNoPersonData",
                     "asn1 = SEQUENCE:record\n[record]\nversion = INTEGER:2\n"
                     "a = UTF8:urn:a\nb = UTF8:urn:b\n",
                     noPerson, 0x11});
    return cases;
}

class PersonenbindungFromOpenssl : public testing::TestWithParam<OpensslCase>
{
};

TEST_P(PersonenbindungFromOpenssl, ParsesFieldByField)
{
    const OpensslCase& c = GetParam();
    const ByteVector der = Generate(c.config);
    ASSERT_GE(der.size(), 2u) << "openssl asn1parse -genconf failed";
    ASSERT_EQ(der[1], c.recordLengthForm);

    Personenbindung record;
    EXPECT_TRUE(record.parse(der));
    ExpectFields(record, c.expected);
    ExpectEveryCutParses(der, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Generated, PersonenbindungFromOpenssl, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<OpensslCase>& info)
                         { return std::string(info.param.name); });

} // namespace
