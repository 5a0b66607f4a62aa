// PKCS#11 types, structures, function types and constants, without include guard: included once
// by Pkcs11Types.h with the platform's choices, and again by the layout tests with the Windows
// choices forced inside a namespace of their own. The includer defines QCK_CALL, QCK_ULONG_TYPE
// and QCK_LONG_TYPE and sets the structure packing around the include.

extern "C" {

typedef unsigned char CK_BYTE;
typedef CK_BYTE CK_CHAR;
typedef CK_BYTE CK_UTF8CHAR;
typedef CK_BYTE CK_BBOOL;
typedef QCK_ULONG_TYPE CK_ULONG;
typedef QCK_LONG_TYPE CK_LONG;
typedef CK_ULONG CK_FLAGS;
typedef CK_ULONG CK_RV;
typedef CK_ULONG CK_SLOT_ID;
typedef CK_ULONG CK_SESSION_HANDLE;
typedef CK_ULONG CK_OBJECT_HANDLE;
typedef CK_ULONG CK_OBJECT_CLASS;
typedef CK_ULONG CK_KEY_TYPE;
typedef CK_ULONG CK_CERTIFICATE_TYPE;
typedef CK_ULONG CK_ATTRIBUTE_TYPE;
typedef CK_ULONG CK_MECHANISM_TYPE;
typedef CK_ULONG CK_USER_TYPE;
typedef CK_ULONG CK_STATE;
typedef CK_ULONG CK_NOTIFICATION;
typedef void* CK_VOID_PTR;

struct CK_VERSION
{
    CK_BYTE major;
    CK_BYTE minor;
};

struct CK_INFO
{
    CK_VERSION cryptokiVersion;
    CK_UTF8CHAR manufacturerID[32];
    CK_FLAGS flags;
    CK_UTF8CHAR libraryDescription[32];
    CK_VERSION libraryVersion;
};

struct CK_SLOT_INFO
{
    CK_UTF8CHAR slotDescription[64];
    CK_UTF8CHAR manufacturerID[32];
    CK_FLAGS flags;
    CK_VERSION hardwareVersion;
    CK_VERSION firmwareVersion;
};

struct CK_TOKEN_INFO
{
    CK_UTF8CHAR label[32];
    CK_UTF8CHAR manufacturerID[32];
    CK_UTF8CHAR model[16];
    CK_CHAR serialNumber[16];
    CK_FLAGS flags;
    CK_ULONG ulMaxSessionCount;
    CK_ULONG ulSessionCount;
    CK_ULONG ulMaxRwSessionCount;
    CK_ULONG ulRwSessionCount;
    CK_ULONG ulMaxPinLen;
    CK_ULONG ulMinPinLen;
    CK_ULONG ulTotalPublicMemory;
    CK_ULONG ulFreePublicMemory;
    CK_ULONG ulTotalPrivateMemory;
    CK_ULONG ulFreePrivateMemory;
    CK_VERSION hardwareVersion;
    CK_VERSION firmwareVersion;
    CK_CHAR utcTime[16];
};

struct CK_SESSION_INFO
{
    CK_SLOT_ID slotID;
    CK_STATE state;
    CK_FLAGS flags;
    CK_ULONG ulDeviceError;
};

struct CK_ATTRIBUTE
{
    CK_ATTRIBUTE_TYPE type;
    CK_VOID_PTR pValue;
    CK_ULONG ulValueLen;
};

struct CK_MECHANISM
{
    CK_MECHANISM_TYPE mechanism;
    CK_VOID_PTR pParameter;
    CK_ULONG ulParameterLen;
};

typedef CK_RV(QCK_CALL* CK_NOTIFY)(CK_SESSION_HANDLE, CK_NOTIFICATION, CK_VOID_PTR);

// Standard functions, in the order of the standard's function list.
typedef CK_RV(QCK_CALL* CK_C_Initialize)(CK_VOID_PTR pInitArgs);
typedef CK_RV(QCK_CALL* CK_C_Finalize)(CK_VOID_PTR pReserved);
typedef CK_RV(QCK_CALL* CK_C_GetInfo)(CK_INFO* pInfo);
typedef CK_RV(QCK_CALL* CK_C_GetSlotList)(CK_BBOOL tokenPresent, CK_SLOT_ID* pSlotList,
                                          CK_ULONG* pulCount);
typedef CK_RV(QCK_CALL* CK_C_GetSlotInfo)(CK_SLOT_ID slotID, CK_SLOT_INFO* pInfo);
typedef CK_RV(QCK_CALL* CK_C_GetTokenInfo)(CK_SLOT_ID slotID, CK_TOKEN_INFO* pInfo);
typedef CK_RV(QCK_CALL* CK_C_OpenSession)(CK_SLOT_ID slotID, CK_FLAGS flags,
                                          CK_VOID_PTR pApplication, CK_NOTIFY Notify,
                                          CK_SESSION_HANDLE* phSession);
typedef CK_RV(QCK_CALL* CK_C_CloseSession)(CK_SESSION_HANDLE hSession);
typedef CK_RV(QCK_CALL* CK_C_GetSessionInfo)(CK_SESSION_HANDLE hSession, CK_SESSION_INFO* pInfo);
typedef CK_RV(QCK_CALL* CK_C_Login)(CK_SESSION_HANDLE hSession, CK_USER_TYPE userType,
                                    CK_UTF8CHAR* pPin, CK_ULONG ulPinLen);
typedef CK_RV(QCK_CALL* CK_C_Logout)(CK_SESSION_HANDLE hSession);
typedef CK_RV(QCK_CALL* CK_C_GetAttributeValue)(CK_SESSION_HANDLE hSession,
                                                CK_OBJECT_HANDLE hObject, CK_ATTRIBUTE* pTemplate,
                                                CK_ULONG ulCount);
typedef CK_RV(QCK_CALL* CK_C_SetAttributeValue)(CK_SESSION_HANDLE hSession,
                                                CK_OBJECT_HANDLE hObject, CK_ATTRIBUTE* pTemplate,
                                                CK_ULONG ulCount);
typedef CK_RV(QCK_CALL* CK_C_FindObjectsInit)(CK_SESSION_HANDLE hSession, CK_ATTRIBUTE* pTemplate,
                                              CK_ULONG ulCount);
typedef CK_RV(QCK_CALL* CK_C_FindObjects)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE* phObject,
                                          CK_ULONG ulMaxObjectCount, CK_ULONG* pulObjectCount);
typedef CK_RV(QCK_CALL* CK_C_FindObjectsFinal)(CK_SESSION_HANDLE hSession);
typedef CK_RV(QCK_CALL* CK_C_SignInit)(CK_SESSION_HANDLE hSession, CK_MECHANISM* pMechanism,
                                       CK_OBJECT_HANDLE hKey);
typedef CK_RV(QCK_CALL* CK_C_Sign)(CK_SESSION_HANDLE hSession, CK_BYTE* pData, CK_ULONG ulDataLen,
                                   CK_BYTE* pSignature, CK_ULONG* pulSignatureLen);
typedef CK_RV(QCK_CALL* CK_C_VerifyInit)(CK_SESSION_HANDLE hSession, CK_MECHANISM* pMechanism,
                                         CK_OBJECT_HANDLE hKey);
typedef CK_RV(QCK_CALL* CK_C_Verify)(CK_SESSION_HANDLE hSession, CK_BYTE* pData, CK_ULONG ulDataLen,
                                     CK_BYTE* pSignature, CK_ULONG ulSignatureLen);

// The card maker's vendor functions.
// Raw command APDU; the response carries the status word. *pulResponseLen is in/out.
typedef CK_RV(QCK_CALL* CK_C_CardTransmit)(CK_SESSION_HANDLE hSession, CK_BYTE* pCommand,
                                           CK_ULONG ulCommandLen, CK_BYTE* pResponse,
                                           CK_ULONG* pulResponseLen);
// Named card attribute ("ATR", "Reset"); pName is zero-terminated, *pulLen is in/out.
typedef CK_RV(QCK_CALL* CK_C_CardAttribute)(CK_SESSION_HANDLE hSession, const char* pName,
                                            CK_BYTE* pBuffer, CK_ULONG* pulLen);
// Numbered card operation. The input has the fixed layout of its operation (no length is passed);
// the output buffer has room for ulOutputSize bytes.
typedef CK_RV(QCK_CALL* CK_C_Register)(CK_SESSION_HANDLE hSession, CK_ULONG ulOperation,
                                       CK_BYTE* pInput, CK_BYTE* pOutput, CK_ULONG ulOutputSize);

// The whole standard function list, as C_GetFunctionList hands it to generic clients. Entries the
// wrapper does not bind are kept as untyped pointers with their standard positions.
typedef void (*CK_GENERIC_FN)();
struct CK_FUNCTION_LIST
{
    CK_VERSION version;
    CK_C_Initialize C_Initialize;
    CK_C_Finalize C_Finalize;
    CK_C_GetInfo C_GetInfo;
    CK_GENERIC_FN C_GetFunctionList;
    CK_C_GetSlotList C_GetSlotList;
    CK_C_GetSlotInfo C_GetSlotInfo;
    CK_C_GetTokenInfo C_GetTokenInfo;
    CK_GENERIC_FN C_GetMechanismList;
    CK_GENERIC_FN C_GetMechanismInfo;
    CK_GENERIC_FN C_InitToken;
    CK_GENERIC_FN C_InitPIN;
    CK_GENERIC_FN C_SetPIN;
    CK_C_OpenSession C_OpenSession;
    CK_C_CloseSession C_CloseSession;
    CK_GENERIC_FN C_CloseAllSessions;
    CK_C_GetSessionInfo C_GetSessionInfo;
    CK_GENERIC_FN C_GetOperationState;
    CK_GENERIC_FN C_SetOperationState;
    CK_C_Login C_Login;
    CK_C_Logout C_Logout;
    CK_GENERIC_FN C_CreateObject;
    CK_GENERIC_FN C_CopyObject;
    CK_GENERIC_FN C_DestroyObject;
    CK_GENERIC_FN C_GetObjectSize;
    CK_C_GetAttributeValue C_GetAttributeValue;
    CK_C_SetAttributeValue C_SetAttributeValue;
    CK_C_FindObjectsInit C_FindObjectsInit;
    CK_C_FindObjects C_FindObjects;
    CK_C_FindObjectsFinal C_FindObjectsFinal;
    CK_GENERIC_FN C_EncryptInit;
    CK_GENERIC_FN C_Encrypt;
    CK_GENERIC_FN C_EncryptUpdate;
    CK_GENERIC_FN C_EncryptFinal;
    CK_GENERIC_FN C_DecryptInit;
    CK_GENERIC_FN C_Decrypt;
    CK_GENERIC_FN C_DecryptUpdate;
    CK_GENERIC_FN C_DecryptFinal;
    CK_GENERIC_FN C_DigestInit;
    CK_GENERIC_FN C_Digest;
    CK_GENERIC_FN C_DigestUpdate;
    CK_GENERIC_FN C_DigestKey;
    CK_GENERIC_FN C_DigestFinal;
    CK_C_SignInit C_SignInit;
    CK_C_Sign C_Sign;
    CK_GENERIC_FN C_SignUpdate;
    CK_GENERIC_FN C_SignFinal;
    CK_GENERIC_FN C_SignRecoverInit;
    CK_GENERIC_FN C_SignRecover;
    CK_C_VerifyInit C_VerifyInit;
    CK_C_Verify C_Verify;
    CK_GENERIC_FN C_VerifyUpdate;
    CK_GENERIC_FN C_VerifyFinal;
    CK_GENERIC_FN C_VerifyRecoverInit;
    CK_GENERIC_FN C_VerifyRecover;
    CK_GENERIC_FN C_DigestEncryptUpdate;
    CK_GENERIC_FN C_DecryptDigestUpdate;
    CK_GENERIC_FN C_SignEncryptUpdate;
    CK_GENERIC_FN C_DecryptVerifyUpdate;
    CK_GENERIC_FN C_GenerateKey;
    CK_GENERIC_FN C_GenerateKeyPair;
    CK_GENERIC_FN C_WrapKey;
    CK_GENERIC_FN C_UnwrapKey;
    CK_GENERIC_FN C_DeriveKey;
    CK_GENERIC_FN C_SeedRandom;
    CK_GENERIC_FN C_GenerateRandom;
    CK_GENERIC_FN C_GetFunctionStatus;
    CK_GENERIC_FN C_CancelFunction;
    CK_GENERIC_FN C_WaitForSlotEvent;
};
typedef CK_RV(QCK_CALL* CK_C_GetFunctionList)(CK_FUNCTION_LIST** ppFunctionList);

} // extern "C"

// Constants (the values of the standard).
constexpr CK_BBOOL CK_TRUE = 1;
constexpr CK_BBOOL CK_FALSE = 0;

constexpr CK_RV CKR_OK = 0x000;
constexpr CK_RV CKR_CANCEL = 0x001;
constexpr CK_RV CKR_HOST_MEMORY = 0x002;
constexpr CK_RV CKR_SLOT_ID_INVALID = 0x003;
constexpr CK_RV CKR_GENERAL_ERROR = 0x005;
constexpr CK_RV CKR_FUNCTION_FAILED = 0x006;
constexpr CK_RV CKR_ARGUMENTS_BAD = 0x007;
constexpr CK_RV CKR_ATTRIBUTE_READ_ONLY = 0x010;
constexpr CK_RV CKR_ATTRIBUTE_TYPE_INVALID = 0x012;
constexpr CK_RV CKR_ATTRIBUTE_VALUE_INVALID = 0x013;
constexpr CK_RV CKR_DATA_INVALID = 0x020;
constexpr CK_RV CKR_DATA_LEN_RANGE = 0x021;
constexpr CK_RV CKR_DEVICE_ERROR = 0x030;
constexpr CK_RV CKR_DEVICE_REMOVED = 0x032;
constexpr CK_RV CKR_FUNCTION_CANCELED = 0x050;
constexpr CK_RV CKR_FUNCTION_NOT_SUPPORTED = 0x054;
constexpr CK_RV CKR_KEY_HANDLE_INVALID = 0x060;
constexpr CK_RV CKR_KEY_TYPE_INCONSISTENT = 0x063;
constexpr CK_RV CKR_MECHANISM_INVALID = 0x070;
constexpr CK_RV CKR_OBJECT_HANDLE_INVALID = 0x082;
constexpr CK_RV CKR_OPERATION_ACTIVE = 0x090;
constexpr CK_RV CKR_OPERATION_NOT_INITIALIZED = 0x091;
constexpr CK_RV CKR_PIN_INCORRECT = 0x0A0;
constexpr CK_RV CKR_PIN_INVALID = 0x0A1;
constexpr CK_RV CKR_PIN_LEN_RANGE = 0x0A2;
constexpr CK_RV CKR_PIN_LOCKED = 0x0A4;
constexpr CK_RV CKR_SESSION_CLOSED = 0x0B0;
constexpr CK_RV CKR_SESSION_COUNT = 0x0B1;
constexpr CK_RV CKR_SESSION_HANDLE_INVALID = 0x0B3;
constexpr CK_RV CKR_SESSION_PARALLEL_NOT_SUPPORTED = 0x0B4;
constexpr CK_RV CKR_SESSION_READ_ONLY = 0x0B5;
constexpr CK_RV CKR_SIGNATURE_INVALID = 0x0C0;
constexpr CK_RV CKR_SIGNATURE_LEN_RANGE = 0x0C1;
constexpr CK_RV CKR_TEMPLATE_INCOMPLETE = 0x0D0;
constexpr CK_RV CKR_TOKEN_NOT_PRESENT = 0x0E0;
constexpr CK_RV CKR_USER_ALREADY_LOGGED_IN = 0x100;
constexpr CK_RV CKR_USER_NOT_LOGGED_IN = 0x101;
constexpr CK_RV CKR_USER_TYPE_INVALID = 0x103;
constexpr CK_RV CKR_BUFFER_TOO_SMALL = 0x150;
constexpr CK_RV CKR_CRYPTOKI_NOT_INITIALIZED = 0x190;
constexpr CK_RV CKR_CRYPTOKI_ALREADY_INITIALIZED = 0x191;
// Vendor outcomes of numbered card operations that some operations accept.
constexpr CK_RV CKR_QUENDRY_REGISTER_STATE1 = 0x80000001;
constexpr CK_RV CKR_QUENDRY_REGISTER_STATE2 = 0x80000002;

constexpr CK_ULONG CK_UNAVAILABLE_INFORMATION = ~CK_ULONG(0);

constexpr CK_FLAGS CKF_TOKEN_PRESENT = 0x1;
constexpr CK_FLAGS CKF_REMOVABLE_DEVICE = 0x2;
constexpr CK_FLAGS CKF_HW_SLOT = 0x4;
constexpr CK_FLAGS CKF_RNG = 0x1;
constexpr CK_FLAGS CKF_LOGIN_REQUIRED = 0x4;
constexpr CK_FLAGS CKF_USER_PIN_INITIALIZED = 0x8;
constexpr CK_FLAGS CKF_PROTECTED_AUTHENTICATION_PATH = 0x100;
constexpr CK_FLAGS CKF_TOKEN_INITIALIZED = 0x400;
constexpr CK_FLAGS CKF_RW_SESSION = 0x2;
constexpr CK_FLAGS CKF_SERIAL_SESSION = 0x4;

constexpr CK_USER_TYPE CKU_SO = 0;
constexpr CK_USER_TYPE CKU_USER = 1;

constexpr CK_STATE CKS_RO_PUBLIC_SESSION = 0;
constexpr CK_STATE CKS_RO_USER_FUNCTIONS = 1;
constexpr CK_STATE CKS_RW_PUBLIC_SESSION = 2;
constexpr CK_STATE CKS_RW_USER_FUNCTIONS = 3;

constexpr CK_OBJECT_CLASS CKO_DATA = 0;
constexpr CK_OBJECT_CLASS CKO_CERTIFICATE = 1;
constexpr CK_OBJECT_CLASS CKO_PUBLIC_KEY = 2;
constexpr CK_OBJECT_CLASS CKO_PRIVATE_KEY = 3;

constexpr CK_KEY_TYPE CKK_RSA = 0;
constexpr CK_KEY_TYPE CKK_EC = 3;
constexpr CK_CERTIFICATE_TYPE CKC_X_509 = 0;

constexpr CK_ATTRIBUTE_TYPE CKA_CLASS = 0x000;
constexpr CK_ATTRIBUTE_TYPE CKA_TOKEN = 0x001;
constexpr CK_ATTRIBUTE_TYPE CKA_PRIVATE = 0x002;
constexpr CK_ATTRIBUTE_TYPE CKA_LABEL = 0x003;
constexpr CK_ATTRIBUTE_TYPE CKA_APPLICATION = 0x010;
constexpr CK_ATTRIBUTE_TYPE CKA_VALUE = 0x011;
constexpr CK_ATTRIBUTE_TYPE CKA_OBJECT_ID = 0x012;
constexpr CK_ATTRIBUTE_TYPE CKA_CERTIFICATE_TYPE = 0x080;
constexpr CK_ATTRIBUTE_TYPE CKA_ISSUER = 0x081;
constexpr CK_ATTRIBUTE_TYPE CKA_SERIAL_NUMBER = 0x082;
constexpr CK_ATTRIBUTE_TYPE CKA_KEY_TYPE = 0x100;
constexpr CK_ATTRIBUTE_TYPE CKA_SUBJECT = 0x101;
constexpr CK_ATTRIBUTE_TYPE CKA_ID = 0x102;
constexpr CK_ATTRIBUTE_TYPE CKA_SENSITIVE = 0x103;
constexpr CK_ATTRIBUTE_TYPE CKA_ENCRYPT = 0x104;
constexpr CK_ATTRIBUTE_TYPE CKA_DECRYPT = 0x105;
constexpr CK_ATTRIBUTE_TYPE CKA_SIGN = 0x108;
constexpr CK_ATTRIBUTE_TYPE CKA_VERIFY = 0x10A;
constexpr CK_ATTRIBUTE_TYPE CKA_MODULUS = 0x120;
constexpr CK_ATTRIBUTE_TYPE CKA_MODULUS_BITS = 0x121;
constexpr CK_ATTRIBUTE_TYPE CKA_PUBLIC_EXPONENT = 0x122;
constexpr CK_ATTRIBUTE_TYPE CKA_EXTRACTABLE = 0x162;
constexpr CK_ATTRIBUTE_TYPE CKA_EC_PARAMS = 0x180;
constexpr CK_ATTRIBUTE_TYPE CKA_EC_POINT = 0x181;
constexpr CK_ATTRIBUTE_TYPE CKA_ALWAYS_AUTHENTICATE = 0x202;
// The card module's own attributes: setting either (1-byte value 0) makes the module run its PIN
// dialog for the key or data object the attribute is set on.
constexpr CK_ATTRIBUTE_TYPE CKA_QUENDRY_CHANGE_PIN = 0x200;
constexpr CK_ATTRIBUTE_TYPE CKA_QUENDRY_UNBLOCK_PIN = 0x201;

constexpr CK_MECHANISM_TYPE CKM_RSA_PKCS = 0x0001;
constexpr CK_MECHANISM_TYPE CKM_ECDSA = 0x1041;
