#pragma once

#include "core/Bytes.h"
#include "core/Uncopyable.h"
#include "platform/SharedModule.h"
#include "slcertificate/slcertificate.h"
#include "token/CardTypes.h"
#include "token/Digest.h"
#include "token/HexText.h"
#include "token/ModuleFunctions.h"
#include "token/Pkcs11Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Corvane
{
// One card reader slot with a token, as the slot list holds it.
struct TokenSlot
{
    CK_SLOT_ID slotId = 0;
    std::string tokenLabel;  // at most 32 characters, blank padding kept
    std::string tokenSerial; // at most 16 characters; the card number everywhere
};

// Token texts of exactly 32, 32, 16 and 16 bytes, blank padding included.
struct TokenInfo
{
    std::string label;
    std::string manufacturer;
    std::string model;
    std::string serial;
};

// PinTarget: whose PIN a PIN operation works on.
constexpr int PIN_TARGET_SIGNATURE = 0;  // private key "SK.CH.SIG"
constexpr int PIN_TARGET_ENCRYPTION = 1; // private key "SK.CH.EKEY"
constexpr int PIN_TARGET_INFOBOX = 2;    // data object "PERSONENBINDUNG"

// PinResult: the outcome of a PIN operation; no other value is returned.
constexpr int PIN_RESULT_DONE = 0;
constexpr int PIN_RESULT_CANCELLED = 1;
constexpr int PIN_RESULT_WRONG = 2;
constexpr int PIN_RESULT_LOCKED = 3;
constexpr int PIN_RESULT_OTHER = -1;

// Results of Register besides 0 (success) and -1 (no session or any other answer).
constexpr int REGISTER_RESULT_STATE1 = 4; // module answered 0x80000001
constexpr int REGISTER_RESULT_STATE2 = 5; // module answered 0x80000002
constexpr CK_ULONG REGISTER_OUTPUT_SIZE = 2048;

// The one wrapper of the card module. The module, its function table and the report hooks are
// shared by the whole process; a slot-list index names a card in the wrapper's slot list.
class acPKCS11 : public Uncopyable
{
public:
    using ReportHook = void (*)(const std::string& text);

    acPKCS11();
    ~acPKCS11() override;

    // Module binding, slot list and sessions.
    bool Init();
    bool Destroy();
    bool GetSlots(std::vector<TokenSlot*>& slots, bool all);
    // The index counts the module's slots holding a token, unfiltered.
    bool GetTokenInfo(uint32_t index, TokenInfo& info);
    bool OpenSession(int index);
    bool CloseSession();

    // Card information and PINs.
    bool GetCardInfo(int index, CardInfo& info);
    int ChangePIN(int target);
    int UnblockPIN(int target);
    int SetPinAttribute(int target, uint32_t attributeType);
    bool FindObjects(CK_ATTRIBUTE* searchTemplate, CK_ULONG attributeCount,
                     CK_OBJECT_HANDLE* objects, CK_ULONG capacity, CK_ULONG& found);
    bool FindObject(const char* label, uint32_t objectClass, CK_OBJECT_HANDLE& object);
    bool DetectChipType();

    // Certificates, signatures and objects.
    bool ReadCertificate(bool signatureCertificate);
    // The same, and the certificate it decoded to tell a good read, for a caller that needs it.
    bool ReadCertificate(bool signatureCertificate, slcertificate& decoded);
    bool Sign(const std::string& keyLabel, const ByteVector& data, ByteVector& signature);
    bool Verify(const std::string& keyLabel, const ByteVector& signature, const ByteVector& data);
    int FindSlotByCIN(const std::string& cin);
    bool WritePersonenbindung(const std::string& cin, const ByteVector& data, std::string& message);
    bool WriteEncCert(const std::string& cin, const ByteVector& certificate, std::string& message);
    bool UpdateEncCert(const ByteVector& certificate, std::string& message);

    // Vendor channel.
    bool SendAPDU(const ByteVector& command, ByteVector& response);
    bool SendAPDUHex(const std::string& command, std::string& response);
    bool Transmit(const unsigned char* command, uint32_t length, unsigned char* response,
                  uint32_t& capacity);
    std::string GetATR(bool refresh);
    std::string Reset();
    void SetATR(const unsigned char* bytes, uint32_t length);
    // input null: the operation takes none. output becomes the 2048-byte answer buffer.
    int Register(uint32_t operation, const ByteVector* input, ByteVector& output);
    // The same call, its answer unmapped and unreported; without a session or a C_Register in
    // the module it fails without a call.
    CK_RV CallRegister(uint32_t operation, const ByteVector* input, ByteVector& output);
    bool GetCinCsn(std::string& cardIdentifier);
    bool GetChipId(ByteVector& chipId);
    bool GetChipIdHex(std::string& chipId);

    // State other components read.
    CK_SESSION_HANDLE SessionHandle() const { return m_session; }
    const ByteVector& CertificateBytes() const { return m_certificate; }
    int ChipType() const { return m_chipType; }
    int CurrentSlotIndex() const { return m_currentIndex; }

    // The bound module functions, for the components that call the module directly.
    static const ModuleFunctions& Functions();
    // Module file for the next Init: a bare name is searched, a path is taken as it is; empty
    // restores the card maker's module.
    static void SetModuleFile(const std::string& file);

    static void SetDebugHook(ReportHook hook);
    static void SetErrorHook(ReportHook hook);
    static void LogDebug(const std::string& text);
    static void LogDebugValue(const std::string& text, const std::string& value);
    static void LogError(const std::string& text);
    static void LogErrorValue(const std::string& text, const std::string& value);
    static void LogErrorCode(const std::string& text, uint32_t code);

private:
    static std::string HexCode(CK_RV rv);
    bool InitLoadedModule();
    // The ids of the slots holding a token; false when fewer than minimumCount hold one.
    bool ReadSlotIds(std::vector<CK_SLOT_ID>& ids, size_t minimumCount);
    bool ReadTokenInfo(CK_SLOT_ID slotId, TokenInfo& info);
    std::unique_ptr<TokenSlot> ReadSlot(CK_SLOT_ID slotId, bool all);
    bool HasSession() const { return m_session != 0; }
    bool OpenSessionIfClosed(int index);
    int ReadEncKeyLength();
    // Objects of a class, with the label when one is given, at most capacity of them.
    bool SearchObjects(CK_OBJECT_CLASS objectClass, const char* label, CK_ULONG capacity,
                       std::vector<CK_OBJECT_HANDLE>& objects);
    // The first object, in the module's order, whose label passes the test; its label is read
    // together with one further attribute when extraCapacity is not 0. Objects whose attributes
    // cannot be read are passed over.
    bool FirstObjectByLabel(const std::vector<CK_OBJECT_HANDLE>& objects,
                            const std::function<bool(const std::string&)>& accept,
                            CK_ATTRIBUTE_TYPE extraType, size_t extraCapacity,
                            CK_OBJECT_HANDLE& found, ByteVector& extraValue);
    bool FindSigningKey(const std::string& keyLabel, CK_OBJECT_HANDLE& key,
                        CK_MECHANISM_TYPE& mechanism);
    bool FindVerifyingKey(const std::string& keyLabel, CK_OBJECT_HANDLE& key,
                          CK_MECHANISM_TYPE& mechanism);
    bool FindEncCertObject(CK_OBJECT_HANDLE& target);
    int FindCardForWrite(const std::string& cin, std::string& message);
    bool OpenWriteSession(int index, std::string& message);
    bool Login();
    void LogoutAndClose();
    CK_RV SetValue(CK_OBJECT_HANDLE object, const ByteVector& value);
    bool TransmitSteps(const std::vector<ByteVector>& commands, ByteVector& lastResponse);
    std::string ReadCardAttribute(const char* name, CK_ULONG bufferSize);

    std::vector<std::unique_ptr<TokenSlot>> m_slots;
    CK_SESSION_HANDLE m_session = 0;
    platform::SharedModule m_module;
    std::string m_atr;
    ByteVector m_certificate;
    int m_chipType = CHIP_TYPE_NONE;
    int m_currentIndex = -1;
};
} // namespace Corvane
