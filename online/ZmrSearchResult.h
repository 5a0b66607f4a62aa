#pragma once

#include <string>

// The register search's answer, in the order the service's members are tested. Of it the
// program reads only toBeSigned: the text the holder confirms and signs.
struct ZmrSearchResult
{
    std::wstring ZmrSearchResp;
    std::wstring GivenName;
    std::wstring FamilyName;
    std::wstring DateOfBirth;
    std::wstring PlaceOfBirth;
    std::wstring StreetName;
    std::wstring BuildingNumber;
    std::wstring sUnit;
    std::wstring PostalCode;
    std::wstring Municipality;
    std::wstring DoorNumber;
    std::wstring Locality;
    std::wstring toBeSigned;
};
