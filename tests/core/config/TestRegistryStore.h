#pragma once

#include <memory>
#include <string>

// The registry the configuration tests run against, emptied for each test: the file store in a
// folder of its own where the registry is a file, the system's registry below the maker's keys on
// Windows.
class TestRegistryStore
{
public:
    TestRegistryStore();
    ~TestRegistryStore();
    TestRegistryStore(const TestRegistryStore&) = delete;
    TestRegistryStore& operator=(const TestRegistryStore&) = delete;

    // Replaces the machine hive's keys by those of a text in the export format.
    void WriteMachineHive(const std::string& text);
    // The machine hive's keys in the export format.
    std::string MachineHive() const;

private:
    struct Place;
    std::unique_ptr<Place> place_;
};
