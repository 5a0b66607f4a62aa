#pragma once

#include <string_view>

// Dotted object identifiers; constant-initialised, so they are usable before any dynamic
// initialisation runs.
inline constexpr std::string_view OID_PKCS7_DATA = "1.2.840.113549.1.7.1";
inline constexpr std::string_view OID_PKCS7_SIGNED_DATA = "1.2.840.113549.1.7.2";
inline constexpr std::string_view OID_PKCS7_ENVELOPED_DATA = "1.2.840.113549.1.7.3";
inline constexpr std::string_view OID_MD5_WITH_RSA = "1.2.840.113549.1.1.4";
inline constexpr std::string_view OID_SHA1_WITH_RSA = "1.2.840.113549.1.1.5";
inline constexpr std::string_view OID_SHA256_WITH_RSA = "1.2.840.113549.1.1.11";
inline constexpr std::string_view OID_SHA384_WITH_RSA = "1.2.840.113549.1.1.12";
inline constexpr std::string_view OID_SHA512_WITH_RSA = "1.2.840.113549.1.1.13";
inline constexpr std::string_view OID_SHA1 = "1.3.14.3.2.26";
inline constexpr std::string_view OID_SHA256 = "2.16.840.1.101.3.4.2.1";
inline constexpr std::string_view OID_SHA384 = "2.16.840.1.101.3.4.2.2";
inline constexpr std::string_view OID_SHA512 = "2.16.840.1.101.3.4.2.3";
inline constexpr std::string_view OID_SHA224 = "2.16.840.1.101.3.4.2.4";
inline constexpr std::string_view OID_RIPEMD160 = "1.3.36.3.2.1";
inline constexpr std::string_view OID_MD5 = "1.2.840.113549.2.5";
inline constexpr std::string_view OID_EC_PUBLIC_KEY = "1.2.840.10045.2.1";
inline constexpr std::string_view OID_PRIME256V1 = "1.2.840.10045.3.1.7";
inline constexpr std::string_view OID_ECDSA_WITH_SHA1 = "1.2.840.10045.4.1";
inline constexpr std::string_view OID_ECDSA_WITH_SHA256 = "1.2.840.10045.4.3.2";
inline constexpr std::string_view OID_ECDSA_WITH_SHA384 = "1.2.840.10045.4.3.3";
inline constexpr std::string_view OID_ECDSA_WITH_SHA512 = "1.2.840.10045.4.3.4";
inline constexpr std::string_view OID_ECDSA_PLAIN_RIPEMD160 = "0.4.0.127.0.7.1.1.4.1.6";
inline constexpr std::string_view OID_RSA_ENCRYPTION = "1.2.840.113549.1.1.1";
inline constexpr std::string_view OID_RC2_CBC = "1.2.840.113549.3.2";
inline constexpr std::string_view OID_RC4 = "1.2.840.113549.3.4";
inline constexpr std::string_view OID_DES_EDE3_CBC = "1.2.840.113549.3.7";
inline constexpr std::string_view OID_RC5_CBC_PAD = "1.2.840.113549.3.9";
inline constexpr std::string_view OID_DES_CDMF = "1.2.840.113549.3.10";
inline constexpr std::string_view OID_COMMON_NAME = "2.5.4.3";
inline constexpr std::string_view OID_GIVEN_NAME = "2.5.4.42";
inline constexpr std::string_view OID_SURNAME = "2.5.4.4";
inline constexpr std::string_view OID_COUNTRY_NAME = "2.5.4.6";
inline constexpr std::string_view OID_LOCALITY_NAME = "2.5.4.7";
inline constexpr std::string_view OID_STATE_OR_PROVINCE_NAME = "2.5.4.8";
inline constexpr std::string_view OID_ORGANIZATION_NAME = "2.5.4.10";
inline constexpr std::string_view OID_ORGANIZATIONAL_UNIT_NAME = "2.5.4.11";
inline constexpr std::string_view OID_SERIAL_NUMBER = "2.5.4.5";
