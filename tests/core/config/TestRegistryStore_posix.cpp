#include "tests/core/config/TestRegistryStore.h"

#include "tests/platform/ScopedEnvironment.h"
#include "tests/platform/ScopedTempFolder.h"

struct TestRegistryStore::Place
{
    ScopedTempFolder folder;
    ScopedEnvironment environment;
};

TestRegistryStore::TestRegistryStore() : place_(std::make_unique<Place>())
{
    place_->environment.Set("QUENDRY_REGISTRY_DIR", place_->folder.Path().string());
}

TestRegistryStore::~TestRegistryStore() = default;

void TestRegistryStore::WriteMachineHive(const std::string& text)
{
    WriteTextFile(place_->folder.File("HKEY_LOCAL_MACHINE.reg"),
                  "Windows Registry Editor Version 5.00\r\n\r\n" + text);
}

std::string TestRegistryStore::MachineHive() const
{
    return ReadTextFile(place_->folder.File("HKEY_LOCAL_MACHINE.reg"));
}
