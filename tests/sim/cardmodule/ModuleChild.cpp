// sim_module_child: the second process of the module-state tests, on the card set its
// environment names. Exit code 0 when its work was done.
//   sim_module_child handles <record file> unload|crash   opens sessions, records the highest
//   sim_module_child change-pin                            changes the signature PIN, then crashes

#include "ChildProcess.h"
#include "ModuleHarness.h"

#include <fstream>

using SimTest::LoadedModule;
using SimTest::SlotOfType;

namespace
{
constexpr int kNoModule = 2;
constexpr int kFailed = 3;
constexpr int kUsage = 4;

int OpenSessions(const LoadedModule& module, const std::string& record, bool crash)
{
    CK_SESSION_HANDLE highest = 0;
    for (int i = 0; i < 5; ++i)
    {
        highest = module.Open(SlotOfType(i));
        if (i % 2 == 0)
            module.F().C_CloseSession(highest);
    }
    std::ofstream(record) << highest;
    if (crash)
        SimTest::EndAtOnce(highest != 0 ? 0 : kFailed);
    module.Finalize();
    return highest != 0 ? 0 : kFailed;
}

// The dialog answer is queued by the test; the change must be on disk when the process dies.
int ChangePinThenCrash(const LoadedModule& module)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    CK_OBJECT_HANDLE key = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
    SimTest::EndAtOnce(
        module.SetPinAttribute(session, key, CKA_QUENDRY_CHANGE_PIN) == CKR_OK ? 0 : kFailed);
}
} // namespace

int main(int argc, char** argv)
{
    const std::string work = argc > 1 ? argv[1] : "";
    const bool handles = work == "handles" && argc == 4;
    if (!handles && !(work == "change-pin" && argc == 2))
        return kUsage;
    LoadedModule module;
    if (!module.Load() || module.Initialize() != CKR_OK)
        return kNoModule;
    if (handles)
        return OpenSessions(module, argv[2], std::string(argv[3]) == "crash");
    return ChangePinThenCrash(module);
}
